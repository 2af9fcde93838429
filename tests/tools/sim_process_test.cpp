// The built scale-sim as a process: on a pseudo-terminal it makes itself and
// on a TCP port of 127.0.0.1. Every wait is bounded and done in poll().

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kStartLimitMs = 5000;  // a loaded CI machine may be slow to exec
constexpr int kReplyLimitMs = 2000;

long long nowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Reads from `fd` until `done` says so or `limitMs` has passed.
template <typename Done>
std::string readUntil(int fd, int limitMs, Done done) {
  std::string bytes;
  const long long end = nowMs() + limitMs;
  while (!done(bytes) && nowMs() < end) {
    pollfd watched{fd, POLLIN, 0};
    if (poll(&watched, 1, static_cast<int>(end - nowMs())) <= 0) continue;
    char buffer[256];
    const ssize_t count = read(fd, buffer, sizeof buffer);
    if (count <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(count));
  }
  return bytes;
}

// scale-sim with pipes on its standard input and output.
class SimProcess {
 public:
  bool start(const std::vector<std::string>& arguments) {
    int toChild[2];
    int fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, toChild[1]);
    posix_spawn_file_actions_addclose(&actions, fromChild[0]);
    std::vector<std::string> all{SCALE_SIM_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(all.size() + 1);
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, SCALE_SIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
    if (spawned != 0) pid_ = -1;
    return spawned == 0;
  }

  std::string readLine(int limitMs) {
    const std::string bytes = readUntil(output_, limitMs, [this](const std::string& got) {
      return (pending_ + got).find('\n') != std::string::npos;
    });
    pending_ += bytes;
    const std::size_t end = pending_.find('\n');
    if (end == std::string::npos) return std::string();
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return line;
  }

  void command(const std::string& line) {
    const std::string text = line + "\n";
    ASSERT_EQ(write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  // Sends `signal` (0: none) and waits, bounded, for the exit status.
  int stop(int signal) {
    if (signal != 0) kill(pid_, signal);
    int status = 0;
    const long long end = nowMs() + kStartLimitMs;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (nowMs() > end) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
      }
      poll(nullptr, 0, 10);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  ~SimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (input_ >= 0) close(input_);
    if (output_ >= 0) close(output_);
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string pending_;
};

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> found;
  std::size_t start = 0;
  while (start < line.size()) {
    const std::size_t end = line.find(' ', start);
    found.push_back(line.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return found;
}

TEST(SimProcess, StreamsFramesIntoThePseudoTerminalItLinks) {
  const std::string folder = ::testing::TempDir() + "scale_sim_ports_" + std::to_string(getpid());
  const std::string link = folder + "/com1";
  SimProcess sim;
  ASSERT_TRUE(sim.start({"--pty", link, "--kind", "stream", "--weight", "2.5"}));
  const std::vector<std::string> ready = words(sim.readLine(kStartLimitMs));
  ASSERT_EQ(ready.size(), 4U);
  EXPECT_EQ(ready[0], "ready");
  EXPECT_EQ(ready[1], "pty");
  EXPECT_EQ(ready[3], link);
  char target[256] = {};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), ready[2]);

  const int port = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(port, 0);
  termios settings{};
  ASSERT_EQ(tcgetattr(port, &settings), 0);
  cfmakeraw(&settings);
  ASSERT_EQ(tcsetattr(port, TCSANOW, &settings), 0);
  const std::string frame = "ST,GS,+  2.500kg\r\n";
  const std::string stream = readUntil(port, kReplyLimitMs, [&](const std::string& got) {
    return got.find(frame) != std::string::npos;
  });
  close(port);
  EXPECT_NE(stream.find(frame), std::string::npos) << stream;

  EXPECT_EQ(sim.stop(SIGTERM), 0);
  struct stat gone {};
  EXPECT_NE(lstat(link.c_str(), &gone), 0) << "the symlink outlived the simulator";
  rmdir(folder.c_str());
}

TEST(SimProcess, AcknowledgesEnqOverTcpAndQuitsOnCommand) {
  SimProcess sim;
  ASSERT_TRUE(sim.start({"--tcp", "0", "--kind", "two-step", "--delay", "30"}));
  const std::vector<std::string> ready = words(sim.readLine(kStartLimitMs));
  ASSERT_EQ(ready.size(), 3U);
  ASSERT_EQ(ready[1], "tcp");
  const std::size_t colon = ready[2].rfind(':');
  ASSERT_EQ(ready[2].substr(0, colon), "127.0.0.1");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(ready[2].substr(colon + 1))));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(client, 0);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  const long long sent = nowMs();
  ASSERT_EQ(send(client, "\x05", 1, 0), 1);
  const std::string reply =
      readUntil(client, kReplyLimitMs, [](const std::string& got) { return !got.empty(); });
  const long long elapsed = nowMs() - sent;
  close(client);
  EXPECT_EQ(reply, "\x06");
  EXPECT_GE(elapsed, 30) << "answered before its response delay";

  sim.command("quit");
  EXPECT_EQ(sim.readLine(kReplyLimitMs), "ok quit");
  EXPECT_EQ(sim.stop(0), 0);
}

}  // namespace
