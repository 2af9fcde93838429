// The program on an unhealthy link: a scale pulled out and plugged in again,
// another program reading the same port.
// Whatever happens, readings come back by themselves and Esc ends the run.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <regex>
#include <sstream>
#include <string>

#include "e2e/scale_session.h"
#include "harness/child_process.h"
#include "harness/fd.h"

namespace scalecheck::e2e {
namespace {

const std::string kReading = kTwoStepTag + " Ст[1,234] кг";
const std::string kOpenFailed = " 108Ошибка открытия порта RS-232.";

int countOf(const std::string& text, const std::string& piece) {
  int count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos;
       at = text.find(piece, at + piece.size())) {
    ++count;
  }
  return count;
}

// Counts the failure lines in `text`.
int failuresIn(const std::string& text) {
  return countOf(text, kNoData) + countOf(text, kOpenFailed);
}

void endWithEsc(CheckerProcess& checker) {
  ASSERT_TRUE(checker.type("\x1b"));
  const harness::ExitStatus status = checker.waitForExit();
  EXPECT_TRUE(status.exited) << "signal " << status.signal;
  EXPECT_EQ(status.code, 0);
}

// The scale's adapter is pulled out (its simulator ended, as the device
// would vanish) and later plugged in again under the same name: the polls
// in between fail with the open's own line, and readings come back within
// two polls of the device's return, with no restart. `signal` chooses what
// becomes of the com1 entry of the port folder meanwhile.
void pullAndReturnTheAdapter(int signal) {
  ScaleSession session;
  ASSERT_TRUE(session.start({"--kind", "two-step"}));
  CheckerProcess& checker = session.checker();
  ASSERT_TRUE(checker.waitFor(kReading)) << checker.output();
  // A killed simulator would leave the entry leading to its freed terminal
  // number, which any other program may take next: the name goes first.
  if (signal == SIGKILL) {
    ASSERT_TRUE(session.pullPortName());
  }
  session.sim().signal(signal);
  session.sim().wait();
  ASSERT_TRUE(checker.waitFor(kNoData)) << checker.output();
  ASSERT_TRUE(checker.waitFor(kOpenFailed)) << checker.output();
  ASSERT_TRUE(checker.waitFor(kOpenFailed)) << checker.output();

  harness::SimProcess back;
  ASSERT_TRUE(startSim(back, {"--pty", session.portLink(), "--kind", "two-step"}));
  // The polls that failed while the simulator started are not counted:
  // only what the program wrote after this mark came after the return.
  const std::string returned = "(back)";
  ASSERT_TRUE(checker.mark(returned));
  ASSERT_TRUE(checker.waitFor(returned)) << checker.output();
  const std::size_t markedAt = checker.output().find(returned);
  ASSERT_TRUE(checker.waitFor(kReading)) << checker.output();
  const std::string whileAway = checker.output().substr(0, markedAt);
  // No other device was polled meanwhile: it would have shown 110, not 108.
  EXPECT_EQ(whileAway.find(kNoData, whileAway.find(kOpenFailed)), std::string::npos)
      << checker.output();
  EXPECT_LE(failuresIn(checker.output().substr(markedAt)), 2) << checker.output();
  endWithEsc(checker);
}

// Killed, the simulator leaves the entry pointing nowhere.
TEST(LinkFaults, APulledAdapterComesBackAndReadingsResume) {
  pullAndReturnTheAdapter(SIGKILL);
}

// Stopped, it removes the entry, as udev removes the link of a pulled
// adapter: the port stays the mapped one, and /dev/ttyS0 (what com1 is
// without a mapping) is never opened instead.
TEST(LinkFaults, AMappedPortWhoseEntryGoesAwayStaysMapped) {
  pullAndReturnTheAdapter(SIGTERM);
}

// Told as events, from a script: the loss, the failed reopen and the
// return each get a line, in order among the polls' own, and every line
// of the run is an event stamped to the millisecond.
TEST(LinkFaults, EventsTellWhenThePortWentAndCameBack) {
  ScratchDir work;
  ScratchDir ports;
  harness::SimProcess sim;
  ASSERT_TRUE(startSim(sim, {"--pty", ports.file("com1"), "--kind", "two-step"}));
  CheckerProcess checker;
  ASSERT_TRUE(checker.startWithPipes(work.path(), ports.path(), {"--port", "com1", "--events"}));
  const std::string reading = " reading AD stable 1.234 kg\n";
  ASSERT_TRUE(checker.waitFor(reading)) << checker.output();
  sim.stop();
  for (const char* event : {" port-lost device-gone", " failed 110 device-gone",
                            " reopen-failed 108 ", " failed 108 not-opened "}) {
    ASSERT_TRUE(checker.waitFor(event)) << event << " in\n" << checker.output();
  }
  harness::SimProcess back;
  ASSERT_TRUE(startSim(back, {"--pty", ports.file("com1"), "--kind", "two-step"}));
  ASSERT_TRUE(checker.waitFor(" reopened after ")) << checker.output();
  ASSERT_TRUE(checker.waitFor(reading)) << checker.output();
  checker.signal(SIGTERM);
  EXPECT_TRUE(checker.waitForExit().exited);

  const std::string& output = checker.output();
  std::istringstream lines(output.substr(output.find('\n', output.find("  Опрос: ")) + 1));
  const std::regex event(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} [a-z-]+( .*)?)");
  std::string line;
  std::string last;
  while (std::getline(lines, line) && line.rfind("Опросов: ", 0) != 0) {
    EXPECT_TRUE(std::regex_match(line, event)) << line;
    last = line;
  }
  EXPECT_NE(last.find(" end polls "), std::string::npos) << output;
  EXPECT_EQ(line.rfind("Опросов: ", 0), 0U) << output;
}

// Another program that reads the same port (a forgotten terminal, a modem
// manager) takes bytes the driver has just announced: the run goes on,
// never waits for them, and Esc ends it at once.
TEST(LinkFaults, AnotherReaderOfThePortCannotHoldTheRunUp) {
  ScaleSession session;
  ASSERT_TRUE(session.start({"--kind", "two-step"}));
  CheckerProcess& checker = session.checker();
  ASSERT_TRUE(checker.waitFor(kReading)) << checker.output();
  // Root may open a port held exclusively; others are refused, and then
  // nothing is taken away at all.
  const harness::Fd port(
      ::open(session.sim().ready().device.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC));
  const harness::Fd nothing(::open("/dev/null", O_WRONLY | O_CLOEXEC));
  harness::ChildProcess reader;
  if (port.valid()) {
    harness::Launch cat;
    cat.program = "/bin/cat";
    cat.input = port.get();
    cat.output = nothing.get();
    ASSERT_TRUE(reader.start(cat));
  }
  // Two more polls with the reader at work, whatever they show.
  const std::size_t from = checker.output().size();
  ASSERT_TRUE(checker.waitUntil([&](const std::string& all) {
    const std::string since = all.substr(from);
    return failuresIn(since) + countOf(since, kTwoStepTag) >= 2;
  })) << checker.output();
  endWithEsc(checker);
}

}  // namespace
}  // namespace scalecheck::e2e
