// The built program run from a script: --port on a device path and --tcp
// poll without questions and end after --count polls; the exit status says
// how the run went; --list names a mapped port; a port that does not open
// says why.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/checker_process.h"
#include "e2e/console_texts.h"
#include "e2e/scale_sim_process.h"
#include "e2e/scratch_dir.h"

namespace scalecheck::e2e {
namespace {

struct ScriptRun {
  harness::ExitStatus status;
  std::string output;
};

// Runs the program with `arguments` and an input that ends at once (no key
// ever comes), working in `work`, with COM numbers mapped into `ports`.
ScriptRun runWith(const ScratchDir& work, const ScratchDir& ports,
                  const std::vector<std::string>& arguments) {
  CheckerProcess checker;
  if (!checker.startWithPipes(work.path(), ports.path(), arguments)) return {};
  checker.closeInput();
  const harness::ExitStatus status = checker.waitForExit();
  return {status, checker.output()};
}

const std::string kTwoStepReading = kTwoStepTag + " Ст[1,234] кг";

// A two-step scale on a pseudo-terminal named by its path, three polls:
// the readings, the summary, status 0, and a trace of every byte.
TEST(CommandLine, PollsADevicePathCountTimes) {
  ScratchDir work;
  ScratchDir ports;
  harness::SimProcess sim;
  const std::string device = ports.file("scale");
  ASSERT_TRUE(startSim(sim, {"--pty", device, "--kind", "two-step"}));
  const ScriptRun run = runWith(work, ports, {"--port", device, "--count", "3", "--trace", "t"});
  EXPECT_TRUE(run.status.exited && run.status.code == 0) << run.status.code << run.output;
  EXPECT_EQ(run.output, kTitle + "\r\n  Опрос: " + device + ", 9600,None,8,1\r\n" +
                            kTwoStepReading + kTwoStepReading + kTwoStepReading +
                            "\r\nОпросов: 3, показаний: 3 (AD: 3), ошибок: 0.\r\n");
  const std::string trace = work.read("t");
  for (const char* line : {"  poll 1\r\n", "  > 05 ", "  < 06 ", "  > 11 ",
                           "  < 53 54 2C 47 53 2C 2B 20 20 31 2E 32 33 34 6B 67 0D 0A ",
                           "  poll 3: reading AD\r\n", "  end after 3 polls\r\n"}) {
    EXPECT_NE(trace.find(line), std::string::npos) << line << " in\n" << trace;
  }
}

// A scale that streams a frame every 150 ms falls quiet between frames:
// each reading is still the stream's, and it comes from the whole frame.
TEST(CommandLine, ReadsASlowStreamAsAStream) {
  ScratchDir work;
  ScratchDir ports;
  harness::SimProcess sim;
  const std::string device = ports.file("scale");
  ASSERT_TRUE(startSim(sim, {"--pty", device, "--kind", "stream", "--interval", "150"}));
  const ScriptRun run = runWith(work, ports, {"--port", device, "--count", "3"});
  const std::string reading = kStreamTag + " Ст[1,234] кг";
  EXPECT_EQ(run.output, kTitle + "\r\n  Опрос: " + device + ", 9600,None,8,1\r\n" + reading +
                            reading + reading +
                            "\r\nОпросов: 3, показаний: 3 (~22: 3), ошибок: 0.\r\n");
  std::string dump;
  for (int poll = 0; poll < 3; ++poll) dump += "ST,GS,+  1.234kg\r\r\n";  // LF stored as CR LF
  EXPECT_EQ(work.read("#DeviceIO"), dump);
}

TEST(CommandLine, PollsATcpScaleCountTimes) {
  ScratchDir work;
  ScratchDir ports;
  harness::SimProcess sim;
  ASSERT_TRUE(startSim(sim, {"--tcp", "0", "--kind", "combined"}));
  const std::string address = sim.ready().host + ":" + std::to_string(sim.ready().port);
  const ScriptRun run = runWith(work, ports, {"--tcp", address, "--count", "3"});
  const std::string reading = kCombinedTag + " Ст[1,234] кг";
  EXPECT_TRUE(run.status.exited && run.status.code == 0) << run.status.code << run.output;
  EXPECT_EQ(run.output, kTitle + "\r\n  Опрос: " + address + " (TCP)\r\n" + reading + reading +
                            reading + "\r\nОпросов: 3, показаний: 3 (ad: 3), ошибок: 0.\r\n");
}

// 1: the link opened but nothing came; 3: it did not open, and the line
// after the usual one names the device and why; 2: a wrong argument.
TEST(CommandLine, TheExitStatusSaysHowTheRunWent) {
  ScratchDir work;
  ScratchDir ports;
  harness::SimProcess sim;
  ASSERT_TRUE(startSim(sim, {"--pty", ports.file("com1"), "--fault", "silence"}));
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string tail;
  };
  const Case cases[] = {
      {{"--port", "com1", "--count", "1"},
       1,
       kNoData + "\r\nОпросов: 1, показаний: 0, ошибок: 1 (110: 1 (тишина: 1)), самая длинная "
                 "серия ошибок: 1.\r\n"},
      {{"--port", "/nonexistent"},
       3,
       kPortNotOpened + "\r\nПорт /nonexistent: такого устройства нет. "},
      {{"--port", "com1", "--parity", "space"}, 2, "у --parity неверное значение «space»"},
  };
  for (const Case& c : cases) {
    const ScriptRun run = runWith(work, ports, c.arguments);
    EXPECT_TRUE(run.status.exited) << c.tail;
    EXPECT_EQ(run.status.code, c.status) << run.output;
    EXPECT_NE(run.output.find(c.tail), std::string::npos) << run.output;
  }
  EXPECT_FALSE(work.exists("#Log.csv"));
}

TEST(CommandLine, ListsAPortMappedToAPseudoTerminal) {
  ScratchDir work;
  ScratchDir ports;
  harness::SimProcess sim;
  ASSERT_TRUE(startSim(sim, {"--pty", ports.file("com5")}));
  const ScriptRun run = runWith(work, ports, {"--list"});
  EXPECT_EQ(run.status.code, 0);
  EXPECT_NE(run.output.find("  com5  " + ports.file("com5") + " -> " + sim.ready().device + "\r\n"),
            std::string::npos)
      << run.output;
}

}  // namespace
}  // namespace scalecheck::e2e
