#pragma once

#include "sim_time.h"

namespace scalecheck::sim {

// CLOCK_MONOTONIC: never steps with the wall clock.
Nanos monotonicNow();

}  // namespace scalecheck::sim
