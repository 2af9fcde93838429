#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace scalecheck::bench {
namespace {

// A loaded machine may take a while to start a program; a simulator that
// has not ended two seconds after SIGTERM is stuck.
constexpr long long kReadyLimitMs = 5000;
constexpr long long kStopLimitMs = 2000;

long long nowMs() {
  timespec now{};
  // clock_gettime: 0, or -1 with errno; CLOCK_MONOTONIC always exists here.
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Waits for input on `fd` until `deadline`: the revents, 0 when the time is
// up, -1 on failure. poll: the number of ready descriptors, 0 after the
// time-out, or -1 with errno (EINTR when a signal came first: tried again).
int waitReadable(int fd, long long deadline) {
  for (;;) {
    const long long left = deadline - nowMs();
    if (left <= 0) return 0;
    pollfd entry{fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(left));
    if (ready > 0) return entry.revents;
    if (ready == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

void closeFd(int& fd) {
  if (fd < 0) return;
  // close: 0, or -1 with errno; Linux frees the descriptor either way.
  static_cast<void>(::close(fd));
  fd = -1;
}

}  // namespace

SimProcess::~SimProcess() {
  stop();
}

bool SimProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                       std::string& error) {
  int toChild[2];
  int fromChild[2];
  // pipe2: 0, or -1 with errno. Close-on-exec, so that no other child
  // inherits our ends (the duplicates made for the simulator are not).
  if (pipe2(toChild, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    closeFd(toChild[0]);
    closeFd(toChild[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  // posix_spawn_file_actions_*: 0, or an error number.
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
  std::vector<std::string> all{program};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(all.size() + 1);
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  // posix_spawn: 0 with the child's id, or an error number.
  const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  closeFd(toChild[0]);
  closeFd(fromChild[1]);
  input_ = toChild[1];
  output_ = fromChild[0];
  if (spawned != 0) {
    pid_ = -1;
    error = program + ": " + std::strerror(spawned);
    stop();
    return false;
  }
  if (readReadyLine(error)) return true;
  stop();
  return false;
}

bool SimProcess::readReadyLine(std::string& error) {
  const long long deadline = nowMs() + kReadyLimitMs;
  std::string text;
  while (text.find('\n') == std::string::npos) {
    const int ready = waitReadable(output_, deadline);
    if (ready <= 0) {
      error = "scale-sim did not get ready";
      return false;
    }
    char chunk[256];
    // read: bytes read, 0 when the simulator closed its output (it ended),
    // or -1 with errno.
    const ssize_t count = ::read(output_, chunk, sizeof chunk);
    if (count <= 0) {
      error = "scale-sim ended before it was ready";
      return false;
    }
    text.append(chunk, static_cast<std::size_t>(count));
  }
  readyLine_ = text.substr(0, text.find('\n'));
  if (readyLine_.rfind("ready ", 0) != 0) {
    error = "scale-sim said: " + readyLine_;
    return false;
  }
  return true;
}

void SimProcess::stop() {
  closeFd(input_);
  if (pid_ > 0) {
    // kill: 0, or -1 with errno (ESRCH when it has ended already, which is
    // what we want anyway).
    static_cast<void>(kill(pid_, SIGTERM));
    // Its output closes when it ends; a stuck simulator is killed.
    const long long deadline = nowMs() + kStopLimitMs;
    bool ended = output_ < 0;
    while (!ended) {
      const int ready = waitReadable(output_, deadline);
      if (ready <= 0) break;
      char chunk[256];
      ended = ::read(output_, chunk, sizeof chunk) <= 0;
    }
    if (!ended) static_cast<void>(kill(pid_, SIGKILL));
    int status = 0;
    // waitpid: the child's id, or -1 with errno (EINTR: tried again).
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  closeFd(output_);
}

}  // namespace scalecheck::bench
