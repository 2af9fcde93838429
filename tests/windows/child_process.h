#pragma once

#include <string>

namespace scalecheck::platform {

struct ChildRun {
  bool finished = false;  // false when it could not start or did not end in time
  unsigned long exitCode = 0;
  std::string output;  // its standard output and standard error
};

// Starts this test program again as "--child MODE", its standard input a
// pipe that delivers `input` and then ends, its output a pipe; waits for it.
ChildRun runSelfAsChild(const char* mode, const std::string& input);

// The child's side, in the test that needs it.
int runConsoleChild(const char* mode);

}  // namespace scalecheck::platform
