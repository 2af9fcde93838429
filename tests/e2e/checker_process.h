#pragma once

#include <fcntl.h>
#include <termios.h>

#include <functional>
#include <string>
#include <vector>

#include "e2e/scratch_dir.h"
#include "harness/child_process.h"
#include "harness/deadline.h"
#include "harness/fd.h"
#include "harness/fd_io.h"
#include "harness/pty.h"

namespace scalecheck::e2e {

// The built scalecheck as a child process, seen from the operator's side:
// in a pseudo-terminal of its own (as a terminal window runs it), or with
// pipes for its standard input and output. Everything it writes is kept, in
// order and unaltered.
class CheckerProcess {
 public:
  // Starts it in a new pseudo-terminal, working in `workDir`, with COM
  // numbers mapped into `portDir`.
  bool startInTerminal(const std::string& workDir, const std::string& portDir) {
    harness::Pty pty;
    if (!harness::openPty(pty)) return false;
    terminalPath_ = pty.terminalPath;
    screen_ = std::move(pty.master);
    // A copy that closes on exec, so the child does not inherit it.
    keyboard_.reset(fcntl(screen_.get(), F_DUPFD_CLOEXEC, 0));
    const int terminal = pty.terminal.get();
    // The child holds the terminal then; this side keeps only the master
    // (pty.terminal closes here), so the master reports the end once the
    // program has gone.
    return withoutOutputProcessing(terminal) && keyboard_.valid() &&
           process_.start(launchFor(workDir, portDir, terminal, terminal, true));
  }

  // Starts it with pipes instead of a terminal, its standard error apart
  // (see errors); `closeInput` ends its input.
  bool startWithPipes(const std::string& workDir, const std::string& portDir,
                      const std::vector<std::string>& arguments = {}) {
    harness::Fd input;
    harness::Fd output;
    harness::Fd errors;
    if (!harness::makePipe(input, keyboard_) || !harness::makePipe(screen_, output) ||
        !harness::makePipe(errorScreen_, errors)) {
      return false;
    }
    harness::Launch launch = launchFor(workDir, portDir, input.get(), output.get(), false);
    launch.errors = errors.get();
    launch.arguments = arguments;
    return process_.start(launch);
  }

  // Types `keys` as the operator does.
  bool type(const std::string& keys) { return harness::writeAll(keyboard_.get(), keys); }

  // The end of the input, as at the end of a file of answers.
  void closeInput() { keyboard_.reset(); }

  // Puts `text` into the program's output stream at this moment, written
  // to its terminal as the program writes: what comes after it there, the
  // program wrote later.
  bool mark(const std::string& text) const {
    const harness::Fd terminal(::open(terminalPath_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    return terminal.valid() && harness::writeAll(terminal.get(), text);
  }

  // Waits until `text` appears in what the program writes after the text
  // found by the previous call; false when the program ends first or the
  // safety bound passes.
  bool waitFor(const std::string& text) {
    std::size_t found = std::string::npos;
    const auto appeared = [&](const std::string& all) {
      found = all.find(text, searchFrom_);
      return found != std::string::npos;
    };
    if (!harness::readUntil(screen_.get(), output_, harness::Deadline(), appeared)) return false;
    searchFrom_ = found + text.size();
    return true;
  }

  // Waits until `done` holds for all the program has written; false when
  // the program ends first or the safety bound passes.
  bool waitUntil(const std::function<bool(const std::string& output)>& done) {
    return harness::readUntil(screen_.get(), output_, harness::Deadline(), done);
  }

  // Waits until the terminal is set for single unechoed keys (no canonical
  // input, no echo), which the program does only when it waits for a key.
  // The settings give no event to wait for, so they are looked at again
  // after each short wait for output.
  bool waitForKeyMode() {
    const harness::Deadline deadline;
    while (!inKeyMode()) {
      if (deadline.passed()) return false;
      if (!harness::readSome(screen_.get(), output_, 1)) return false;
    }
    return true;
  }

  bool inKeyMode() const {
    termios settings{};
    // tcgetattr on the master reads the terminal's settings.
    return tcgetattr(screen_.get(), &settings) == 0 && (settings.c_lflag & (ICANON | ECHO)) == 0;
  }

  // Reads the rest of its output and waits for its end, at most until
  // `deadline` (a run that takes long by design says how long).
  harness::ExitStatus waitForExit(const harness::Deadline& deadline = harness::Deadline()) {
    while (!deadline.passed() &&
           harness::readSome(screen_.get(), output_, deadline.remainingMs())) {
    }
    // Its few lines of errors wait in the pipe until it has ended.
    while (errorScreen_.valid() && !deadline.passed() &&
           harness::readSome(errorScreen_.get(), errors_, deadline.remainingMs())) {
    }
    return process_.wait(deadline);
  }

  bool running() const { return process_.running(); }
  void signal(int number) const { process_.signal(number); }

  // All it wrote, unaltered; started with pipes, what it wrote to standard
  // error is apart, read once it has ended.
  const std::string& output() const { return output_; }
  const std::string& errors() const { return errors_; }
  // Its terminal, the slave side.
  const std::string& terminalPath() const { return terminalPath_; }

 private:
  // The terminal's output processing would turn each LF the program writes
  // into CR LF; with it off, the program's bytes arrive as written. It is
  // set before the start, so not one byte passes the other way.
  static bool withoutOutputProcessing(int terminal) {
    termios settings{};
    if (tcgetattr(terminal, &settings) != 0) return false;
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    return tcsetattr(terminal, TCSANOW, &settings) == 0;
  }

  static harness::Launch launchFor(const std::string& workDir, const std::string& portDir,
                                   int input, int output, bool terminal) {
    harness::Launch launch;
    launch.program = SCALECHECK_PATH;
    launch.workDir = workDir;
    launch.environment = {"SCALECHECK_PORT_DIR=" + portDir};
    launch.input = input;
    launch.output = output;
    if (terminal) launch.errors = output;
    launch.terminal = terminal;
    return launch;
  }

  harness::ChildProcess process_;
  harness::Fd keyboard_;     // where typed keys go
  harness::Fd screen_;       // where its output comes from
  harness::Fd errorScreen_;  // where its standard error comes from, started with pipes
  std::string output_;
  std::string errors_;
  std::size_t searchFrom_ = 0;
  std::string terminalPath_;
};

// How a run from a script ended, and all it wrote to each stream.
struct ScriptRun {
  harness::ExitStatus status;
  std::string output;
  std::string errors;

  bool exitedWith(int code) const { return status.exited && status.code == code; }
};

// Runs the program with `arguments` and an input that ends at once (no key
// ever comes), working in `work`, with COM numbers mapped into `ports`.
inline ScriptRun runWith(const ScratchDir& work, const ScratchDir& ports,
                         const std::vector<std::string>& arguments,
                         const harness::Deadline& deadline = harness::Deadline()) {
  CheckerProcess checker;
  if (!checker.startWithPipes(work.path(), ports.path(), arguments)) return {};
  checker.closeInput();
  const harness::ExitStatus status = checker.waitForExit(deadline);
  return {status, checker.output(), checker.errors()};
}

}  // namespace scalecheck::e2e
