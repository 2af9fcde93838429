#include "monotonic_clock.h"

#include <time.h>

namespace scalecheck::sim {

Nanos monotonicNow() {
  timespec now{};
  // CLOCK_MONOTONIC is always there on the systems we build for: a failure
  // stands for the impossible and leaves the zero time.
  if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) return 0;
  return static_cast<Nanos>(now.tv_sec) * kNanosPerSecond + static_cast<Nanos>(now.tv_nsec);
}

}  // namespace scalecheck::sim
