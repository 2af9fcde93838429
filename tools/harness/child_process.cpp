#include "harness/child_process.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <cerrno>

#include "harness/fd_io.h"

extern char** environ;

// POSIX calls return -1 and set errno on failure unless said otherwise.

namespace scalecheck::harness {
namespace {

bool sameName(const std::string& entry, const std::string& other) {
  const std::size_t equals = entry.find('=');
  return equals != std::string::npos && other.compare(0, equals + 1, entry, 0, equals + 1) == 0;
}

// This process's environment with `changes` put in.
std::vector<std::string> environmentWith(const std::vector<std::string>& changes) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    bool replaced = false;
    for (const std::string& change : changes) replaced = replaced || sameName(change, *entry);
    if (!replaced) result.emplace_back(*entry);
  }
  result.insert(result.end(), changes.begin(), changes.end());
  return result;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Runs in the child between fork and exec, so it makes only
// async-signal-safe calls; any failure ends the child with status 127.
[[noreturn]] void becomeProgram(const Launch& launch, char* const* argv, char* const* envp) {
  // A session of its own with the terminal as its controlling terminal,
  // as a job started from a shell in a terminal has.
  if (launch.terminal && (setsid() < 0 || ioctl(launch.input, TIOCSCTTY, 0) != 0)) _exit(127);
  // The copies do not close on exec; the originals (opened close-on-exec)
  // do.
  if (dup2(launch.input, STDIN_FILENO) < 0 || dup2(launch.output, STDOUT_FILENO) < 0 ||
      dup2(launch.errors, STDERR_FILENO) < 0) {
    _exit(127);
  }
  if (!launch.workDir.empty() && chdir(launch.workDir.c_str()) != 0) _exit(127);
  // The program gets the signal dispositions a shell would give it, not the
  // ones the caller may have: a program started with SIGINT ignored rightly
  // leaves it ignored. They fail only for invalid arguments: not checked.
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  for (const int number : {SIGINT, SIGTERM, SIGPIPE, SIGHUP}) sigaction(number, &standard, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  execve(launch.program.c_str(), argv, envp);
  _exit(127);
}

}  // namespace

bool ChildProcess::start(const Launch& launch) {
  // A child that has gone must show as a failed write here, not end the
  // caller with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> arguments{launch.program};
  arguments.insert(arguments.end(), launch.arguments.begin(), launch.arguments.end());
  std::vector<std::string> environment = environmentWith(launch.environment);
  const std::vector<char*> argv = pointersTo(arguments);
  const std::vector<char*> envp = pointersTo(environment);
  pid_ = fork();
  if (pid_ == 0) becomeProgram(launch, argv.data(), envp.data());
  return watchExit();
}

bool ChildProcess::startFork(const std::function<void()>& body) {
  pid_ = fork();
  if (pid_ == 0) {
    body();
    _exit(0);
  }
  return watchExit();
}

bool ChildProcess::watchExit() {
  if (pid_ < 0) return false;
  // pidfd_open (called directly: Debian 12's C library declares it without
  // C linkage for C++): a descriptor that polls readable once the child has
  // ended, so that the wait for the end sleeps in poll() on it.
  exitWatch_.reset(static_cast<int>(syscall(SYS_pidfd_open, pid_, 0)));
  return exitWatch_.valid();
}

void ChildProcess::signal(int number) const {
  // Ignored: it fails (ESRCH) only for a child already gone.
  if (pid_ > 0) ::kill(pid_, number);
}

ExitStatus ChildProcess::wait(const Deadline& deadline) {
  if (pid_ <= 0) return status_;
  pollfd watch{exitWatch_.get(), POLLIN, 0};
  // A signal that comes first does not end the wait.
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

void ChildProcess::kill(int number) {
  if (pid_ <= 0) return;
  signal(number);
  reap();
  status_ = ExitStatus{};
}

// wait4 rather than waitpid: it also gives the processor time and memory
// the child used, for the benchmarks.
void ChildProcess::reap() {
  int raw = 0;
  pid_t reaped = -1;
  rusage usage{};
  do {
    reaped = wait4(pid_, &raw, 0, &usage);
  } while (reaped < 0 && errno == EINTR);
  status_ = ExitStatus{};
  status_.usage = usage;
  if (reaped == pid_ && WIFEXITED(raw)) {
    status_.exited = true;
    status_.code = WEXITSTATUS(raw);
  } else if (reaped == pid_ && WIFSIGNALED(raw)) {
    status_.signal = WTERMSIG(raw);
  }
  pid_ = -1;
  exitWatch_.reset();
}

ExitStatus runToEnd(const std::string& program, const std::vector<std::string>& arguments,
                    const Deadline& deadline, std::string& output) {
  Fd input;
  Fd inputEnd;
  Fd outputEnd;
  Fd collected;
  if (!makePipe(input, inputEnd) || !makePipe(collected, outputEnd)) return ExitStatus{};
  inputEnd.reset();  // nothing to read: its input ends at once
  Launch launch;
  launch.program = program;
  launch.arguments = arguments;
  launch.input = input.get();
  launch.output = outputEnd.get();
  launch.errors = outputEnd.get();
  ChildProcess child;
  const bool started = child.start(launch);
  outputEnd.reset();  // the child holds the only writer: its end is the end of the data
  if (!started) return ExitStatus{};
  while (!deadline.passed() && readSome(collected.get(), output, deadline.remainingMs())) {
  }
  return child.wait(deadline);
}

}  // namespace scalecheck::harness
