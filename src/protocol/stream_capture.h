#pragma once

#include <cstdint>

#include "link/scale_link.h"

namespace scalecheck {

constexpr std::int32_t kStreamFrameBytes = 21;

// The last burst of bytes heard by a capture that found no frame, so that
// the poll can say why it failed.
struct StreamHeard {
  std::uint8_t bytes[kStreamCaptureBytes] = {};
  std::uint32_t count = 0;
};

// Listens for frames the scale sends on its own. A fast stream fills a
// stretch of 44 bytes, from which the 21 bytes after the first CR LF are
// cut. A slow one falls quiet between frames: then its newest whole frame is
// taken, from a frame start (the first byte after a quiet line, or after a
// line end) to its line end, all printable text. True with the frame at the
// start of `frame` (room for kStreamCaptureBytes) and its length in `count`:
// 21 for a cut, the frame's own for a whole frame. False with neither
// written; `heard`, when given, then holds the last bytes heard. Records
// LinkError 11 (when no code is pending) only when 43 or 44 bytes came but
// held no frame.
//
// A frame found tells the link that the scale streams: later captures drop
// what waits and listen up to the frame period measured (at most about a
// second) instead of the 200 ms quiet check; the first that finds no frame
// forgets it.
bool captureStreamFrame(ScaleLink& link, std::uint8_t* frame, std::int32_t& count,
                        StreamHeard* heard = nullptr);

}  // namespace scalecheck
