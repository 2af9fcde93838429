#pragma once

#include <cstdint>

#include "link/weight_reading.h"
#include "protocol/poll_report.h"

namespace scalecheck {

// Reads one frame from the scale, such as "ST,GS,+  1.234kg": a stability
// letter in its first five bytes, one number, its sign (the last "+" or "-"
// before its first digit), and a unit letter after the number ("mg" for
// milligrams). Positions, separators and layout are not relied on. The unit
// ends the weight: what follows it (an ID, a piece count, a tare) is another
// field, and the first CR or LF after the number ends the frame. True when
// the frame gave a complete reading; `out` is then overwritten in full (valid
// and acquisition mode 0). False leaves `out` untouched and, when `why` is
// given, says there why. The number text and the weight text carry
// `decimalSeparator`, the link's.
bool parseFrame(char decimalSeparator, const std::uint8_t* frame, std::int32_t length,
                WeightReading& out, FrameRejection* why = nullptr);

}  // namespace scalecheck
