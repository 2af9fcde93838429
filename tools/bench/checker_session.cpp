#include "checker_session.h"

#include <sys/ioctl.h>
#include <time.h>

#include "harness/fd_io.h"
#include "harness/pty.h"

namespace scalecheck::bench {
namespace {

// Readings follow one another on one line. Wine's console draws a line
// that wraps again, which would show the readings on it a second time; a
// terminal this wide never wraps within a run.
constexpr unsigned short kTerminalColumns = 2000;
constexpr unsigned short kTerminalRows = 50;

}  // namespace

double monotonicMs() {
  timespec now{};
  // Not checked: CLOCK_MONOTONIC always exists.
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

bool CheckerSession::start(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& workDir) {
  harness::Pty pty;
  const winsize size{kTerminalRows, kTerminalColumns, 0, 0};
  if (!harness::openPty(pty) || ioctl(pty.terminal.get(), TIOCSWINSZ, &size) != 0) return false;
  harness::Launch launch;
  launch.program = program;
  launch.arguments = arguments;
  launch.workDir = workDir;
  launch.input = pty.terminal.get();
  launch.output = pty.terminal.get();
  launch.errors = pty.terminal.get();
  launch.terminal = true;
  startedAtMs_ = monotonicMs();
  if (!process_.start(launch)) return false;
  // Only the child holds the terminal side now, so the master reports the
  // end of the output once it and everything it started have gone.
  terminal_ = std::move(pty.master);
  return true;
}

bool CheckerSession::read(const harness::Deadline& deadline,
                          const std::function<void(const ShownLine&)>& onLine) {
  while (!outputEnded_ && !deadline.passed()) {
    std::string bytes;
    if (!harness::readSome(terminal_.get(), bytes, deadline.remainingMs())) {
      outputEnded_ = true;
      break;
    }
    const std::size_t known = screen_.lines().size();
    screen_.add(bytes, monotonicMs());
    for (std::size_t line = known; onLine && line < screen_.lines().size(); ++line) {
      onLine(screen_.lines()[line]);
    }
  }
  return !outputEnded_;
}

bool CheckerSession::type(const std::string& keys) {
  return harness::writeAll(terminal_.get(), keys);
}

harness::ExitStatus CheckerSession::finish(const harness::Deadline& deadline) {
  read(deadline);
  const harness::ExitStatus status = process_.wait(deadline);
  endedAtMs_ = monotonicMs();
  return status;
}

}  // namespace scalecheck::bench
