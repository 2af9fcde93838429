#pragma once

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "e2e/child_process.h"
#include "e2e/deadline.h"

namespace scalecheck::e2e {

// The built scalecheck as a child process, seen from the operator's side:
// in a pseudo-terminal of its own (as a terminal window runs it), or with
// pipes for its standard input and output. Everything it writes is kept, in
// order and unaltered.
class CheckerProcess {
 public:
  CheckerProcess() = default;
  ~CheckerProcess() {
    for (const int fd : {keyboard_, screen_}) {
      if (fd >= 0) ::close(fd);
    }
  }
  CheckerProcess(const CheckerProcess&) = delete;
  CheckerProcess& operator=(const CheckerProcess&) = delete;

  // Starts it in a new pseudo-terminal, working in `workDir`, with COM
  // numbers mapped into `portDir`.
  bool startInTerminal(const std::string& workDir, const std::string& portDir) {
    int master = -1;
    int slave = -1;
    char name[128] = {};
    // openpty: 0, or -1 with errno.
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return false;
    terminalPath_ = name;
    // fcntl F_SETFD: 0, or -1 with errno; F_DUPFD_CLOEXEC: a copy that
    // closes on exec, or -1 with errno. No other child may hold either end.
    const bool prepared = withoutOutputProcessing(slave) &&
                          fcntl(master, F_SETFD, FD_CLOEXEC) == 0 &&
                          fcntl(slave, F_SETFD, FD_CLOEXEC) == 0;
    keyboard_ = master;
    screen_ = fcntl(master, F_DUPFD_CLOEXEC, 0);
    const bool started =
        prepared && screen_ >= 0 && process_.start(launchFor(workDir, portDir, slave, slave, true));
    // The child holds the terminal now; this side keeps only the master, so
    // the master reports the end once the program has gone.
    ::close(slave);
    return started;
  }

  // Starts it with pipes instead of a terminal; `closeInput` ends its input.
  bool startWithPipes(const std::string& workDir, const std::string& portDir,
                      const std::vector<std::string>& arguments = {}) {
    int input[2];
    int output[2];
    // pipe2: 0, or -1 with errno.
    if (pipe2(input, O_CLOEXEC) != 0) return false;
    if (pipe2(output, O_CLOEXEC) != 0) {
      ::close(input[0]);
      ::close(input[1]);
      return false;
    }
    Launch launch = launchFor(workDir, portDir, input[0], output[1], false);
    launch.arguments = arguments;
    const bool started = process_.start(launch);
    ::close(input[0]);
    ::close(output[1]);
    keyboard_ = input[1];
    screen_ = output[0];
    return started;
  }

  // Types `keys` as the operator does.
  bool type(const std::string& keys) { return writeAll(keyboard_, keys); }

  // The end of the input, as at the end of a file of answers.
  void closeInput() {
    if (keyboard_ >= 0) ::close(keyboard_);
    keyboard_ = -1;
  }

  // Waits until `text` appears in what the program writes after the text
  // found by the previous call; false when the program ends first or the
  // safety bound passes.
  bool waitFor(const std::string& text) {
    const Deadline deadline;
    std::size_t found = std::string::npos;
    while ((found = output_.find(text, searchFrom_)) == std::string::npos) {
      if (!readMore(deadline)) return false;
    }
    searchFrom_ = found + text.size();
    return true;
  }

  // Waits until the terminal is set for single unechoed keys (no canonical
  // input, no echo), which the program does only when it waits for a key.
  // The settings give no event to wait for, so they are looked at again
  // after each short wait for output.
  bool waitForKeyMode() {
    const Deadline deadline;
    while (!inKeyMode()) {
      if (deadline.passed()) return false;
      if (!readSome(screen_, output_, 1)) return false;
    }
    return true;
  }

  bool inKeyMode() const {
    termios settings{};
    // tcgetattr on the master reads the terminal's settings: 0, or -1.
    return tcgetattr(screen_, &settings) == 0 && (settings.c_lflag & (ICANON | ECHO)) == 0;
  }

  // Reads the rest of its output and waits for its end.
  ExitStatus waitForExit() {
    const Deadline deadline;
    while (readMore(deadline)) {
    }
    return process_.wait(deadline);
  }

  bool running() const { return process_.running(); }
  void signal(int number) const { process_.signal(number); }

  // All it wrote, unaltered.
  const std::string& output() const { return output_; }
  // Its terminal, the slave side.
  const std::string& terminalPath() const { return terminalPath_; }

 private:
  // The terminal's output processing would turn each LF the program writes
  // into CR LF; with it off, the program's bytes arrive as written. It is
  // set before the start, so not one byte passes the other way.
  // tcgetattr, tcsetattr: 0, or -1 with errno.
  static bool withoutOutputProcessing(int terminal) {
    termios settings{};
    if (tcgetattr(terminal, &settings) != 0) return false;
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    return tcsetattr(terminal, TCSANOW, &settings) == 0;
  }

  static Launch launchFor(const std::string& workDir, const std::string& portDir, int input,
                          int output, bool terminal) {
    Launch launch;
    launch.program = SCALECHECK_PATH;
    launch.workDir = workDir;
    launch.environment = {"SCALECHECK_PORT_DIR=" + portDir};
    launch.input = input;
    launch.output = output;
    if (terminal) launch.errors = output;
    launch.terminal = terminal;
    return launch;
  }

  // False at the end of its output or when the deadline has passed.
  bool readMore(const Deadline& deadline) {
    return !deadline.passed() && readSome(screen_, output_, deadline.remainingMs());
  }

  ChildProcess process_;
  int keyboard_ = -1;  // where typed keys go
  int screen_ = -1;    // where its output comes from
  std::string output_;
  std::size_t searchFrom_ = 0;
  std::string terminalPath_;
};

}  // namespace scalecheck::e2e
