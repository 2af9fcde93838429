#pragma once

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "e2e/deadline.h"

extern char** environ;

namespace scalecheck::e2e {

// How to start one of the built programs.
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
};

namespace detail {

inline bool sameName(const std::string& entry, const std::string& other) {
  const std::size_t equals = entry.find('=');
  return equals != std::string::npos && other.compare(0, equals + 1, entry, 0, equals + 1) == 0;
}

// This process's environment with `changes` put in.
inline std::vector<std::string> environmentWith(const std::vector<std::string>& changes) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    bool replaced = false;
    for (const std::string& change : changes) replaced = replaced || sameName(change, *entry);
    if (!replaced) result.emplace_back(*entry);
  }
  result.insert(result.end(), changes.begin(), changes.end());
  return result;
}

inline std::vector<char*> pointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Runs in the child between fork and exec, so it makes only
// async-signal-safe calls; any failure ends the child with status 127.
[[noreturn]] inline void becomeProgram(const Launch& launch, char* const* argv, char* const* envp) {
  // setsid: the new session id, or -1 with errno. ioctl TIOCSCTTY: 0, or -1
  // with errno; it makes the terminal this session's controlling terminal.
  if (launch.terminal && (setsid() < 0 || ioctl(launch.input, TIOCSCTTY, 0) != 0)) _exit(127);
  // dup2: the new descriptor, or -1 with errno. The copies do not close on
  // exec; the originals (opened close-on-exec) do.
  if (dup2(launch.input, STDIN_FILENO) < 0 || dup2(launch.output, STDOUT_FILENO) < 0 ||
      dup2(launch.errors, STDERR_FILENO) < 0) {
    _exit(127);
  }
  // chdir: 0, or -1 with errno.
  if (!launch.workDir.empty() && chdir(launch.workDir.c_str()) != 0) _exit(127);
  // The program gets the signal dispositions a shell would give it, not the
  // ones the test runner may have: a program started with SIGINT ignored
  // rightly leaves it ignored. sigaction, sigprocmask: 0, or -1 with errno.
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  for (const int number : {SIGINT, SIGTERM, SIGPIPE, SIGHUP}) sigaction(number, &standard, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  // execve: returns only on failure (-1 with errno).
  execve(launch.program.c_str(), argv, envp);
  _exit(127);
}

}  // namespace detail

// A started program that is always reaped: whatever is still running when
// its owner goes is killed.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { kill(SIGKILL); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool start(const Launch& launch) {
    // A child that has gone must show as a failed write here, not end the
    // tests with SIGPIPE. signal: the previous disposition, or SIG_ERR.
    ::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> arguments{launch.program};
    arguments.insert(arguments.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<std::string> environment = detail::environmentWith(launch.environment);
    const std::vector<char*> argv = detail::pointersTo(arguments);
    const std::vector<char*> envp = detail::pointersTo(environment);
    // fork: the child's id in the parent, 0 in the child, or -1 with errno.
    pid_ = fork();
    if (pid_ == 0) detail::becomeProgram(launch, argv.data(), envp.data());
    if (pid_ < 0) return false;
    // pidfd_open (called directly: Debian 12's C library declares it
    // without C linkage for C++): a descriptor that polls readable once the
    // child has ended, or -1 with errno; the wait for the end sleeps in
    // poll() on it.
    exitWatch_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    return exitWatch_ >= 0;
  }

  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // kill: 0, or -1 with errno (ESRCH once the child has been reaped).
  void signal(int number) const {
    if (pid_ > 0) ::kill(pid_, number);
  }

  // Waits, within `deadline`, for the child to end, and reaps it. A child
  // still running then is killed and reported as not exited.
  ExitStatus wait(const Deadline& deadline) {
    if (pid_ <= 0) return status_;
    pollfd watch{exitWatch_, POLLIN, 0};
    // poll: the number of ready descriptors, 0 after the time-out, or -1
    // with errno (EINTR when a signal came first: wait again).
    int ready = 0;
    do {
      ready = ::poll(&watch, 1, deadline.remainingMs());
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
      kill(SIGKILL);
      return status_;
    }
    reap();
    return status_;
  }

 private:
  void kill(int number) {
    if (pid_ <= 0) return;
    signal(number);
    reap();
    status_ = ExitStatus{};
  }

  // waitpid: the child's id once reaped, or -1 with errno (EINTR: again).
  void reap() {
    int raw = 0;
    pid_t reaped = -1;
    do {
      reaped = waitpid(pid_, &raw, 0);
    } while (reaped < 0 && errno == EINTR);
    status_ = ExitStatus{};
    if (reaped == pid_ && WIFEXITED(raw)) {
      status_.exited = true;
      status_.code = WEXITSTATUS(raw);
    } else if (reaped == pid_ && WIFSIGNALED(raw)) {
      status_.signal = WTERMSIG(raw);
    }
    pid_ = -1;
    if (exitWatch_ >= 0) ::close(exitWatch_);
    exitWatch_ = -1;
  }

  pid_t pid_ = -1;
  int exitWatch_ = -1;
  ExitStatus status_;
};

// Reads what `fd` has within `timeoutMs` and appends it to `into`. False at
// the end of the data (end of file, or EIO on a terminal whose other side
// has closed) and on a read error; true otherwise, also when nothing came.
inline bool readSome(int fd, std::string& into, int timeoutMs) {
  pollfd watch{fd, POLLIN, 0};
  // poll: as above.
  const int ready = ::poll(&watch, 1, timeoutMs);
  if (ready < 0) return errno == EINTR;
  if (ready == 0) return true;
  char buffer[1024];
  // read: bytes read, 0 at the end of file, or -1 with errno (EIO on a
  // pseudo-terminal master once no one holds the terminal open).
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  if (got > 0) into.append(buffer, static_cast<std::size_t>(got));
  return got > 0 || (got < 0 && errno == EINTR);
}

// Writes all of `bytes`; false when the reader has gone.
inline bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    // write: bytes written, or -1 with errno (EINTR: again; EPIPE when the
    // reader has gone, reported instead of SIGPIPE, which is ignored here).
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace scalecheck::e2e
