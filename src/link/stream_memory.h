#pragma once

#include <cstdint>

namespace scalecheck {

// What the link has learnt of a scale that sends frames on its own, so that
// later polls listen for its next frame instead of asking.
struct StreamMemory {
  bool streaming = false;      // a capture found a frame, and none has failed since
  std::uint32_t periodMs = 0;  // from one frame's start to the next; 0 until measured
};

}  // namespace scalecheck
