#pragma once

#include <cstddef>
#include <cstdint>

namespace scalecheck::console {

// The leading decimal integer of `text`, read as atoi reads it (white space,
// an optional sign, digits; 0 when no number starts the text; anything after
// the number ignored), except that a number beyond the 32-bit range gives
// the nearest 32-bit value instead of undefined behaviour.
std::int32_t leadingInteger(const char* text);

// The COM number of a port answer such as "com3", "COM3" or "3": the first
// three digits of the line wherever they stand; a line longer than three
// characters must begin with "com" in any case. 0 when the answer is
// invalid; otherwise 1..256.
std::int32_t portNumberFromAnswer(const char* line);

}  // namespace scalecheck::console
