#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "harness/deadline.h"
#include "harness/fd.h"

namespace scalecheck::harness {

// How to start a program.
struct Launch {
  std::string program;
  std::vector<std::string> arguments;
  std::string workDir;                   // empty: this process's own
  std::vector<std::string> environment;  // NAME=VALUE, replacing what this process has
  int input = -1;                        // becomes standard input
  int output = -1;                       // becomes standard output
  int errors = STDERR_FILENO;            // becomes standard error
  // The input is a terminal: the child leads a session of its own with it
  // as the controlling terminal, as a shell starts a program, so Ctrl+C
  // typed there reaches it.
  bool terminal = false;
};

// The outcome of waiting for a child.
struct ExitStatus {
  bool exited = false;  // ended by exit(), not by a signal, and in time
  int code = -1;        // its exit status when it exited
  int signal = 0;       // the signal that ended it, if one did
  rusage usage{};       // what it used over its life (wait4), once reaped
};

// A started program, or a forked copy of this one, that is always reaped:
// whatever is still running when its owner goes is killed.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { kill(SIGKILL); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the program `launch` describes. A program that cannot be
  // executed ends at once with status 127.
  bool start(const Launch& launch);
  // Runs `body` in a forked copy of this process, which then ends with
  // status 0 without running a destructor: only what `body` did counts.
  bool startFork(const std::function<void()>& body);

  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // Sends signal `number` while the child has not been reaped.
  void signal(int number) const;

  // Waits, within `deadline`, for the child to end, and reaps it. A child
  // still running then is killed and reported as not exited.
  ExitStatus wait(const Deadline& deadline);

 private:
  bool watchExit();
  void kill(int number);
  void reap();

  pid_t pid_ = -1;
  Fd exitWatch_;  // readable once the child has ended
  ExitStatus status_;
};

// Runs `program` with `arguments` to its end within `deadline`: its input
// empty, its output and errors together in `output`.
ExitStatus runToEnd(const std::string& program, const std::vector<std::string>& arguments,
                    const Deadline& deadline, std::string& output);

}  // namespace scalecheck::harness
