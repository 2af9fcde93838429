#pragma once

#include <string>

#include "harness/child_process.h"
#include "harness/fd_io.h"
#include "posix/pty_pair.h"

namespace scalecheck::posix_test {

// A copy of this process running `body`, which reports back one line per
// observation on the descriptor it is given. Services that belong to the
// process (the console prepares itself on first use) are tried there, so
// this process never touches them.
class ForkedChild {
 public:
  template <typename Body>
  explicit ForkedChild(Body body) {
    harness::Fd writeEnd;
    if (!harness::makePipe(report_, writeEnd)) return;
    const int report = writeEnd.get();
    process_.startFork([&body, report] { body(report); });
    // The child holds the only writer now: its end ends the reports.
  }
  ~ForkedChild() { finish(); }
  ForkedChild(const ForkedChild&) = delete;
  ForkedChild& operator=(const ForkedChild&) = delete;

  // The child's next report, or "<none>" when it ended or went silent.
  std::string nextLine() {
    std::string line;
    const harness::Deadline deadline(kSafetyMs);
    return harness::nextLine(report_.get(), unread_, deadline, line) ? line : "<none>";
  }

  // Waits for the child's end; a child that outlives the safety bound is
  // ended, and the case fails on its missing reports.
  void finish() { process_.wait(harness::Deadline(kSafetyMs)); }

 private:
  harness::Fd report_;
  std::string unread_;
  harness::ChildProcess process_;
};

}  // namespace scalecheck::posix_test
