// The built program run from a script: --port on a device path and --tcp
// poll without questions and end after --count polls, each reading on the
// pipe as it comes, lines ended by LF; the exit status says how the run
// went; --list names a mapped port; a port that does not open says why, on
// standard error as every failure.

#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "e2e/checker_process.h"
#include "e2e/console_texts.h"
#include "e2e/scale_on_pty.h"
#include "e2e/scale_sim_process.h"
#include "e2e/scratch_dir.h"
#include "e2e/tcp_peer.h"

namespace scalecheck::e2e {
namespace {

// A text as a pipe receives it: each line ended by LF alone.
std::string lf(std::string text) {
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
    text.erase(at, 1);
  }
  return text;
}

const std::string kTwoStepReading = kTwoStepTag + " Ст[1,234] кг";

// A two-step scale on a pseudo-terminal named by its path, three polls:
// the readings, the summary, status 0, and a trace of every byte.
TEST(CommandLine, PollsADevicePathCountTimes) {
  ScaleOnPty scale;
  ASSERT_TRUE(scale.start({"--kind", "two-step"}));
  const ScriptRun run = scale.run({"--port", scale.device, "--count", "3", "--trace", "t"});
  EXPECT_TRUE(run.exitedWith(0)) << run.status.code << run.output;
  EXPECT_EQ(run.output, lf(kTitle + "\r\n  Опрос: " + scale.device + ", 9600,None,8,1\r\n" +
                           kTwoStepReading + kTwoStepReading + kTwoStepReading +
                           "\r\nОпросов: 3, показаний: 3 (AD: 3), ошибок: 0.\r\n"));
  EXPECT_EQ(run.errors, "");
  const std::string trace = scale.work.read("t");
  for (const char* line : {"  poll 1\r\n", "  > 05 ", "  < 06 ", "  > 11 ",
                           "  < 53 54 2C 47 53 2C 2B 20 20 31 2E 32 33 34 6B 67 0D 0A ",
                           "  poll 3: reading AD\r\n", "  end after 3 polls\r\n"}) {
    EXPECT_NE(trace.find(line), std::string::npos) << line << " in\n" << trace;
  }
}

// A rate outside the termios table is set all the same (a pseudo-terminal
// carries the bytes whatever the rate).
TEST(CommandLine, PollsAtARateOutsideTheStandardTable) {
  ScaleOnPty scale;
  ASSERT_TRUE(scale.start({"--kind", "two-step", "--baud", "12345"}));
  const ScriptRun run = scale.run({"--port", scale.device, "--baud", "12345", "--count", "1"});
  EXPECT_TRUE(run.exitedWith(0)) << run.status.code << run.output;
  EXPECT_NE(run.output.find(scale.device + ", 12345,None,8,1\n" + kTwoStepReading),
            std::string::npos)
      << run.output;
}

// A scale that streams a frame every 150 ms falls quiet between frames:
// each reading is still the stream's, and it comes from the whole frame.
TEST(CommandLine, ReadsASlowStreamAsAStream) {
  ScaleOnPty scale;
  ASSERT_TRUE(scale.start({"--kind", "stream", "--interval", "150"}));
  const ScriptRun run = scale.run({"--port", scale.device, "--count", "3"});
  const std::string reading = kStreamTag + " Ст[1,234] кг";
  EXPECT_EQ(run.output,
            lf(kTitle + "\r\n  Опрос: " + scale.device + ", 9600,None,8,1\r\n" + reading + reading +
               reading + "\r\nОпросов: 3, показаний: 3 (~22: 3), ошибок: 0.\r\n"));
  std::string dump;
  for (int poll = 0; poll < 3; ++poll) dump += "ST,GS,+  1.234kg\r\r\n";  // LF stored as CR LF
  EXPECT_EQ(scale.work.read("#DeviceIO"), dump);
}

// By its address, and by a name longer than the link's 15 characters (a
// numeric form the resolver takes without a name server), shown with the
// address it was looked up to.
TEST(CommandLine, PollsATcpScaleCountTimes) {
  ScratchDir work;
  ScratchDir ports;
  harness::SimProcess sim;
  ASSERT_TRUE(startSim(sim, {"--tcp", "0", "--kind", "combined"}));
  const std::string port = ":" + std::to_string(sim.ready().port);
  const std::string longName = "127.000000000000000000000000.1";
  ASSERT_EQ(longName.size(), 30U);
  const std::pair<std::string, std::string> cases[] = {
      {sim.ready().host + port, sim.ready().host + port},
      {longName + port, longName + port + " (127.0.0.1)"},
  };
  const std::string reading = kCombinedTag + " Ст[1,234] кг";
  for (const auto& [typed, shown] : cases) {
    const ScriptRun run = runWith(work, ports, {"--tcp", typed, "--count", "3"});
    EXPECT_TRUE(run.exitedWith(0)) << run.status.code << run.output;
    EXPECT_EQ(run.output, lf(kTitle + "\r\n  Опрос: " + shown + " (TCP)\r\n" + reading + reading +
                             reading + "\r\nОпросов: 3, показаний: 3 (ad: 3), ошибок: 0.\r\n"));
  }
}

// Without --count the run ends only when told to: a reading read from the
// pipe before that was written as it came, not when the program ended.
TEST(CommandLine, ReadingsReachAPipeAsTheyCome) {
  ScratchDir work;
  ScratchDir ports;
  harness::SimProcess sim;
  ASSERT_TRUE(startSim(sim, {"--pty", ports.file("com1"), "--kind", "two-step"}));
  CheckerProcess checker;
  ASSERT_TRUE(checker.startWithPipes(work.path(), ports.path(), {"--port", "com1"}));
  ASSERT_TRUE(checker.waitFor(kTwoStepReading)) << checker.output();
  ASSERT_TRUE(checker.waitFor(kTwoStepReading)) << checker.output();
  checker.signal(SIGTERM);
  const harness::ExitStatus status = checker.waitForExit();
  EXPECT_TRUE(status.exited && status.code == 0) << checker.output();
  EXPECT_EQ(checker.output().find('\r'), std::string::npos) << checker.output();
  EXPECT_NE(checker.output().find("\nОпросов: "), std::string::npos) << checker.output();
}

// 1: the link opened but nothing came; 3: it did not open, and the line
// after the usual one names the device and why; 2: a wrong argument, or one
// that names the program's own terminal or data file. Failures go to
// standard error alone.
TEST(CommandLine, TheExitStatusSaysHowTheRunWent) {
  ScratchDir work;
  ScratchDir ports;
  harness::SimProcess sim;
  ASSERT_TRUE(startSim(sim, {"--pty", ports.file("com1"), "--fault", "silence"}));
  const RefusingPort refusing;
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string output;  // what standard output ends with
    std::string errors;  // what standard error starts with
  };
  const Case cases[] = {
      {{"--port", "com1", "--count", "1"},
       1,
       lf(kNoData + "\r\nОпросов: 1, показаний: 0, ошибок: 1 (110: 1 (тишина: 1)), самая "
                    "длинная серия ошибок: 1.\r\n"),
       ""},
      {{"--port", "/nonexistent"},
       3,
       "  Опрос: /nonexistent, 9600,None,8,1\n",
       lf(kPortNotOpened.substr(2) + "\r\nПорт /nonexistent: такого устройства нет. ")},
      {{"--tcp", "127.0.0.1:" + std::to_string(refusing.port()), "--count", "1"},
       3,
       "  Опрос: 127.0.0.1:" + std::to_string(refusing.port()) + " (TCP)\n",
       "Не смог подключиться к весам. 109, Ошибка подключения клиента TCP.\n127.0.0.1:" +
           std::to_string(refusing.port()) +
           ": подключение отклонено, на этом порту никто не ждёт подключений."},
      {{"--port", "com1", "--parity", "space"},
       2,
       "",
       "Ошибка в параметрах: у --parity неверное значение «space»"},
      {{"--bogus"}, 2, "", "Ошибка в параметрах: неизвестный параметр «--bogus»"},
      {{"--port", "ком1"},
       2,
       "",
       "Ошибка в параметрах: у --port неверное значение «ком1»: такого порта нет (искали "
       "/dev/ком1, /dev/serial/by-id/ком1)"},
      {{"--port", "/nonexistent/весы"},
       3,
       "  Опрос: /nonexistent/весы, 9600,None,8,1\n",
       lf(kPortNotOpened.substr(2) + "\r\nПорт /nonexistent/весы: такого устройства нет. ")},
      {{"--port", "tty"}, 2, "", "Ошибка в параметрах: --port ведёт к терминалу"},
      {{"--port", "com1", "--trace", "./#Log.csv"},
       2,
       "",
       "Ошибка в параметрах: у --trace неверное значение «./#Log.csv»: в этот файл"},
  };
  for (const Case& c : cases) {
    const ScriptRun run = runWith(work, ports, c.arguments);
    EXPECT_TRUE(run.status.exited) << c.errors;
    EXPECT_EQ(run.status.code, c.status) << run.output << run.errors;
    EXPECT_GE(run.output.size(), c.output.size()) << run.output;
    EXPECT_EQ(run.output.substr(run.output.size() - std::min(run.output.size(), c.output.size())),
              c.output);
    EXPECT_EQ(run.errors.substr(0, c.errors.size()), c.errors);
    if (c.status == 2) {
      EXPECT_EQ(run.output, "");
    }
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
  EXPECT_NE(run.output.find("  com5  " + ports.file("com5") + " -> " + sim.ready().device + "\n"),
            std::string::npos)
      << run.output;
}

}  // namespace
}  // namespace scalecheck::e2e
