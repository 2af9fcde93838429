#include "monotonic_clock.h"

#include <time.h>

namespace scalecheck::sim {

Nanos monotonicNow() {
  timespec now{};
  // clock_gettime: 0, or -1 with errno; CLOCK_MONOTONIC is always there on
  // the systems we build for, so a failure leaves the zero time.
  if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) return 0;
  return static_cast<Nanos>(now.tv_sec) * kNanosPerSecond + static_cast<Nanos>(now.tv_nsec);
}

}  // namespace scalecheck::sim
