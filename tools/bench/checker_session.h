#pragma once

#include <functional>
#include <string>
#include <vector>

#include "harness/child_process.h"
#include "harness/deadline.h"
#include "harness/fd.h"
#include "screen_reader.h"

namespace scalecheck::bench {

// Milliseconds on the monotonic clock, for time stamps.
double monotonicMs();

// The checker (or scripts/wine-run with the Windows one) in a
// pseudo-terminal that is its controlling terminal, as in a terminal
// window; what it shows is read as it arrives and each poll line time
// stamped.
class CheckerSession {
 public:
  // Starts `program` with `arguments` in `workDir`.
  bool start(const std::string& program, const std::vector<std::string>& arguments,
             const std::string& workDir);

  // Reads what it shows until `deadline` or the end of its output; calls
  // `onLine` for each poll line as it appears. False once the output has
  // ended (the program and whatever it started have closed the terminal).
  bool read(const harness::Deadline& deadline,
            const std::function<void(const ShownLine&)>& onLine = nullptr);

  // Types keys as the operator does.
  bool type(const std::string& keys);

  // Reads the rest of the output within `deadline`, then waits for the
  // program's end and reaps it (a program still running then is killed).
  harness::ExitStatus finish(const harness::Deadline& deadline);

  pid_t pid() const { return process_.pid(); }
  const ScreenReader& screen() const { return screen_; }
  double startedAtMs() const { return startedAtMs_; }
  double endedAtMs() const { return endedAtMs_; }

 private:
  harness::ChildProcess process_;
  harness::Fd terminal_;  // the master side: its screen and keyboard
  ScreenReader screen_;
  double startedAtMs_ = 0.0;
  double endedAtMs_ = 0.0;
  bool outputEnded_ = false;
};

}  // namespace scalecheck::bench
