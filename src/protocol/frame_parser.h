#pragma once

#include <cstdint>

#include "link/weight_reading.h"

namespace scalecheck {

// Reads one frame from the scale, such as "ST,GS,+  1.234kg": a stability
// letter in its first five bytes, one number, and a unit letter after the
// number ("mg" for milligrams). Positions, separators and layout are not
// relied on. The first CR or LF after the number ends the frame: later bytes
// are the next frame's. True when the frame gave a complete reading; `out` is
// then overwritten in full (valid and acquisition mode 0). False leaves `out`
// untouched. The number text and the weight text carry `decimalSeparator`,
// the link's.
bool parseFrame(char decimalSeparator, const std::uint8_t* frame, std::int32_t length,
                WeightReading& out);

}  // namespace scalecheck
