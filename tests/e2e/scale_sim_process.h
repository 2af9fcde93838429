#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/deadline.h"
#include "harness/sim_process.h"

namespace scalecheck::e2e {

// Starts the built scale-sim in `sim` with `arguments` and waits until
// `readyBy` for its ready line; a failure says why it did not start.
inline ::testing::AssertionResult startSim(harness::SimProcess& sim,
                                           const std::vector<std::string>& arguments,
                                           const harness::Deadline& readyBy = harness::Deadline()) {
  std::string error;
  if (sim.start(SCALE_SIM_PATH, arguments, error, readyBy)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << error;
}

}  // namespace scalecheck::e2e
