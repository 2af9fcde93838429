#pragma once

#include <time.h>

#include <cstdint>

namespace scalecheck::platform {

// Milliseconds of CLOCK_MONOTONIC, which never steps with the wall clock, as
// the Windows tick count does not. The monotonic clock exists on every
// system this builds for, so the zero returned on failure stands only for
// the impossible.
inline std::uint64_t monotonicMilliseconds() {
  timespec now{};
  if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) return 0;
  return static_cast<std::uint64_t>(now.tv_sec) * 1000U +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000000U;
}

}  // namespace scalecheck::platform
