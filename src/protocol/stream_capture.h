#pragma once

#include <cstdint>

#include "link/scale_link.h"

namespace scalecheck {

constexpr std::int32_t kStreamFrameBytes = 21;

// Listens briefly for frames the scale sends on its own, reads a stretch of
// 44 bytes and cuts out the 21 bytes that follow the first CR LF. True with
// the frame in the first 21 bytes of `frame` and `count` 21; false with
// neither written. Records LinkError 11 (when no code is pending) only when
// 43 or 44 bytes came but held no frame.
bool captureStreamFrame(ScaleLink& link, std::uint8_t* frame, std::int32_t& count);

}  // namespace scalecheck
