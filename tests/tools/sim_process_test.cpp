// The built scale-sim as a process: on a pseudo-terminal it makes itself and
// on a TCP port of 127.0.0.1. Every wait is bounded and done in poll().

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "e2e/scale_sim_process.h"
#include "e2e/scratch_dir.h"
#include "harness/child_process.h"
#include "harness/fd_io.h"
#include "harness/loopback.h"
#include "harness/sim_process.h"

namespace {

using scalecheck::e2e::startSim;
using scalecheck::harness::Deadline;
using scalecheck::harness::SimProcess;

// Reads from `fd` until `done` says so or the safety bound passes.
std::string readUntil(int fd, const std::function<bool(const std::string&)>& done) {
  std::string bytes;
  scalecheck::harness::readUntil(fd, bytes, Deadline(), done);
  return bytes;
}

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

// The terminal end at `path`, in raw mode at the rate it holds; -1 when it
// cannot be opened.
int openRaw(const std::string& path) {
  const int port = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios settings{};
  if (port < 0 || tcgetattr(port, &settings) != 0) return port;
  cfmakeraw(&settings);
  tcsetattr(port, TCSANOW, &settings);
  return port;
}

std::string linkTarget(const std::string& link) {
  char target[256] = {};
  return readlink(link.c_str(), target, sizeof target - 1) > 0 ? target : "";
}

// The link's folder is made too.
TEST(SimProcess, StreamsFramesIntoThePseudoTerminalItLinks) {
  const scalecheck::e2e::ScratchDir scratch;
  ASSERT_TRUE(scratch.ok());
  const std::string link = scratch.file("ports/com1");
  SimProcess sim;
  ASSERT_TRUE(startSim(sim, {"--pty", link, "--kind", "stream", "--weight", "2.5"}));
  const std::vector<std::string> ready = words(sim.readyLine());
  ASSERT_EQ(ready.size(), 4U);
  EXPECT_EQ(ready[0], "ready");
  EXPECT_EQ(ready[1], "pty");
  EXPECT_EQ(ready[3], link);
  ASSERT_NE(linkTarget(link), "");
  EXPECT_EQ(linkTarget(link), ready[2]);

  const int port = openRaw(link);
  ASSERT_GE(port, 0);
  const std::string frame = "ST,GS,+  2.500kg\r\n";
  const std::string stream =
      readUntil(port, [&](const std::string& got) { return got.find(frame) != std::string::npos; });
  close(port);
  EXPECT_NE(stream.find(frame), std::string::npos) << stream;

  EXPECT_EQ(sim.stop().code, 0);
  struct stat gone {};
  EXPECT_NE(lstat(link.c_str(), &gone), 0) << "the symlink outlived the simulator";
}

// A rate termios has no name for: the terminal end starts at it, so a
// reader that keeps it reads the stream, and one that sets 9600 is sent
// what a 9600 UART makes of it.
TEST(SimProcess, ARateOutsideTheTableReachesAReaderAtThatRateOnly) {
  const scalecheck::e2e::ScratchDir folder;
  ASSERT_TRUE(folder.ok());
  SimProcess sim;
  ASSERT_TRUE(startSim(sim, {"--pty", folder.file("com1"), "--baud", "12345"}));
  const scalecheck::harness::Fd port(openRaw(folder.file("com1")));
  ASSERT_TRUE(port.valid());
  const std::string frame = "ST,GS,+  1.234kg\r\n";
  const auto whole = [&](const std::string& got) { return got.find(frame) != std::string::npos; };
  EXPECT_TRUE(whole(readUntil(port.get(), whole)));

  termios settings{};
  ASSERT_EQ(tcgetattr(port.get(), &settings), 0);
  ASSERT_EQ(cfsetspeed(&settings, B9600), 0);
  ASSERT_EQ(tcsetattr(port.get(), TCSANOW, &settings), 0);
  ASSERT_EQ(tcflush(port.get(), TCIFLUSH), 0);
  const std::string garbled =
      readUntil(port.get(), [](const std::string& got) { return got.size() > 150; });
  ASSERT_GT(garbled.size(), 150U);
  // The first few may have left before the simulator saw the change.
  EXPECT_FALSE(whole(garbled.substr(50))) << garbled;
}

TEST(SimProcess, AcknowledgesEnqOverTcpAndQuitsOnCommand) {
  SimProcess sim;
  ASSERT_TRUE(startSim(sim, {"--tcp", "0", "--kind", "two-step", "--delay", "30"}));
  const std::vector<std::string> ready = words(sim.readyLine());
  ASSERT_EQ(ready.size(), 3U);
  ASSERT_EQ(ready[1], "tcp");
  const std::size_t colon = ready[2].rfind(':');
  ASSERT_EQ(ready[2].substr(0, colon), "127.0.0.1");
  const scalecheck::harness::Fd client =
      scalecheck::harness::connectLoopback(std::stoi(ready[2].substr(colon + 1)));
  ASSERT_TRUE(client.valid());

  const auto sent = std::chrono::steady_clock::now();
  ASSERT_EQ(send(client.get(), "\x05", 1, 0), 1);
  const std::string reply =
      readUntil(client.get(), [](const std::string& got) { return !got.empty(); });
  const long long elapsed = scalecheck::harness::millisecondsSince(sent);
  EXPECT_EQ(reply, "\x06");
  EXPECT_GE(elapsed, 30) << "answered before its response delay";

  ASSERT_TRUE(sim.send("quit"));
  std::string answer;
  sim.nextLine(answer);
  EXPECT_EQ(answer, "ok quit");
  EXPECT_EQ(sim.wait().code, 0);
}

struct EndingRun {
  const char* name;
  std::vector<std::string> arguments;  // after --pty LINK when `onLink`
  bool onLink;
  int status;
  std::vector<std::string> says;  // each somewhere in its output
};

TEST(SimProcess, EndsAtOnceWithItsStatusAndSaysWhy) {
  const scalecheck::e2e::ScratchDir folder;
  ASSERT_TRUE(folder.ok());
  const EndingRun runs[] = {
      {"version", {"--version"}, false, 0, {"scale-sim " SCALECHECK_VERSION "\n"}},
      {"missing frames",
       {"--frames", folder.file("missing.txt")},
       true,
       2,
       {folder.file("missing.txt"), "No such file or directory"}},
      {"frames from a folder", {"--frames", folder.path()}, true, 2, {"Is a directory"}},
  };
  for (const EndingRun& run : runs) {
    SCOPED_TRACE(run.name);
    std::vector<std::string> arguments = run.arguments;
    if (run.onLink) arguments.insert(arguments.begin(), {"--pty", folder.file("com1")});
    std::string output;
    const auto status =
        scalecheck::harness::runToEnd(SCALE_SIM_PATH, arguments, Deadline(), output);
    EXPECT_TRUE(status.exited);
    EXPECT_EQ(status.code, run.status);
    for (const std::string& part : run.says)
      EXPECT_NE(output.find(part), std::string::npos) << output;
    EXPECT_FALSE(folder.exists("com1"));
  }
}

TEST(SimProcess, ALinkIsServedByOneSimulatorAtATime) {
  const scalecheck::e2e::ScratchDir folder;
  ASSERT_TRUE(folder.ok());
  const std::vector<std::string> onCom1{"--pty", folder.file("com1")};
  SimProcess first;
  ASSERT_TRUE(startSim(first, onCom1));

  std::string output;
  const auto refused = scalecheck::harness::runToEnd(SCALE_SIM_PATH, onCom1, Deadline(), output);
  EXPECT_TRUE(refused.exited);
  EXPECT_EQ(refused.code, 1);
  EXPECT_NE(output.find("another scale-sim"), std::string::npos) << output;
  EXPECT_EQ(linkTarget(folder.file("com1")), first.ready().device) << "the link was taken over";

  // A killed simulator leaves its link behind; the next one takes it over.
  first.signal(SIGKILL);
  first.wait();
  ASSERT_EQ(linkTarget(folder.file("com1")), first.ready().device);
  SimProcess second;
  ASSERT_TRUE(startSim(second, onCom1));
  EXPECT_EQ(linkTarget(folder.file("com1")), second.ready().device);
}

}  // namespace
