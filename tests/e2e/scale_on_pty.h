#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/checker_process.h"
#include "e2e/scale_sim_process.h"
#include "e2e/scratch_dir.h"
#include "harness/deadline.h"
#include "harness/sim_process.h"

namespace scalecheck::e2e {

// scale-sim on a pseudo-terminal named by a path of its own, and the
// checker run in scratch folders of its own beside it. The simulator stops
// before the folders go.
struct ScaleOnPty {
  ScratchDir work;
  ScratchDir ports;
  harness::SimProcess sim;
  std::string device = ports.file("scale");

  ::testing::AssertionResult start(std::vector<std::string> options) {
    options.insert(options.begin(), {"--pty", device});
    return startSim(sim, options);
  }
  ScriptRun run(const std::vector<std::string>& arguments,
                const harness::Deadline& deadline = harness::Deadline()) const {
    return runWith(work, ports, arguments, deadline);
  }
};

}  // namespace scalecheck::e2e
