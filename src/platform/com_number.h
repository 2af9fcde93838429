#pragma once

namespace scalecheck::platform {

// The highest COM number a port name can carry.
constexpr int kHighestComNumber = 256;

// The COM number that the digits `digits` spell: 1..256, with no sign, no
// leading zero and nothing after them; 0 for anything else.
int comNumberFromDigits(const char* digits);

}  // namespace scalecheck::platform
