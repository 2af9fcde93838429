#pragma once

#include <string>
#include <vector>

#include "e2e/child_process.h"
#include "e2e/deadline.h"
#include "harness/sim_process.h"

namespace scalecheck::e2e {

using harness::SimReady;

// The built scale-sim as a child process (see harness::SimProcess).
class ScaleSimProcess : public harness::SimProcess {
 public:
  using SimProcess::start;

  // Starts it and waits for its ready line.
  bool start(const std::vector<std::string>& arguments) {
    std::string error;
    return start(SCALE_SIM_PATH, arguments, error);
  }
};

}  // namespace scalecheck::e2e
