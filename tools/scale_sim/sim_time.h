#pragma once

#include <cstdint>

namespace scalecheck::sim {

// Times on the simulator's monotonic clock, in nanoseconds: a byte at 9600
// baud lasts 1041667 ns, so milliseconds would be too coarse to pace it.
using Nanos = std::int64_t;

constexpr Nanos kNanosPerMilli = 1000000;
constexpr Nanos kNanosPerSecond = 1000000000;

constexpr Nanos millis(std::int64_t milliseconds) {
  return milliseconds * kNanosPerMilli;
}

}  // namespace scalecheck::sim
