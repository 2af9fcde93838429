// How a run ends: Esc alone ends it; other keys, arrows and function keys
// (which send sequences that begin with ESC) do not; Ctrl+C and SIGTERM end
// it as cleanly as Esc. Each way leaves the port and the terminal as found.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/console_texts.h"
#include "e2e/port_hold.h"
#include "e2e/scale_session.h"

namespace scalecheck::e2e {
namespace {

const std::string kReading = kStreamTag + " Ст[1,234] кг";

// Waits for the end of the run, then checks it ended as it should, however
// it was asked to: status 0; nothing but readings after the dialog (no echo
// of a key, no stray byte), then the summary; the terminal back in its edited, echoed mode;
// the port free for the next program.
void expectCleanEnd(ScaleSession& session) {
  CheckerProcess& checker = session.checker();
  const harness::ExitStatus status = checker.waitForExit();
  EXPECT_TRUE(status.exited) << "signal " << status.signal;
  EXPECT_EQ(status.code, 0);

  std::vector<std::string> pieces;
  EXPECT_TRUE(session.shownAsPieces({kReading}, pieces));

  termios restored{};
  ASSERT_TRUE(terminalSettings(checker.terminalPath(), restored));
  EXPECT_NE(restored.c_lflag & ICANON, 0U);
  EXPECT_NE(restored.c_lflag & ECHO, 0U);
  const PortHold after = holdOf(session.sim().ready().device);
  EXPECT_FALSE(after.exclusive);
  EXPECT_FALSE(after.locked);
}

TEST(Keys, OnlyALoneEscEndsTheRun) {
  ScaleSession session;
  ASSERT_TRUE(session.start({"--kind", "stream"}));
  CheckerProcess& checker = session.checker();
  ASSERT_TRUE(checker.waitFor(kReading)) << checker.output();
  // While it runs, the port is taken: what the end must undo.
  const PortHold running = holdOf(session.sim().ready().device);
  EXPECT_TRUE(running.exclusive);
  EXPECT_TRUE(running.locked);

  // Each key is typed at once, as a terminal sends it, right after a
  // reading; the next reading shows the run went on.
  const std::pair<const char*, const char*> keys[] = {
      {"up arrow", "\x1b[A"}, {"Alt+x", "\x1bx"}, {"F5", "\x1b[15~"}, {"q", "q"}};
  for (const auto& [name, bytes] : keys) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(checker.type(bytes));
    ASSERT_TRUE(checker.waitFor(kReading)) << checker.output();
  }
  ASSERT_TRUE(checker.type("\x1b"));
  expectCleanEnd(session);
}

// What a shell does to the terminal of a job it has stopped: its own
// settings, edited and echoed lines.
bool setLineMode(const std::string& terminal) {
  termios settings{};
  if (!terminalSettings(terminal, settings)) return false;
  settings.c_lflag |= ICANON | ECHO;
  const int fd = ::open(terminal.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  const bool set = fd >= 0 && tcsetattr(fd, TCSANOW, &settings) == 0;
  if (fd >= 0) ::close(fd);
  return set;
}

// Ctrl+Z and fg while it polls. The checker leads a session of its own here,
// a process group that no shell watches, so the kernel drops the stop
// itself (the console tests show the stop with a shell); what the shell does
// meanwhile is done here: the terminal set back to lines before the
// continue. A lone Esc then still ends the run.
TEST(Keys, AfterAStopAndAContinueEscStillEndsTheRun) {
  ScaleSession session;
  ASSERT_TRUE(session.start({"--kind", "stream"}));
  CheckerProcess& checker = session.checker();
  ASSERT_TRUE(checker.waitFor(kReading)) << checker.output();
  checker.signal(SIGTSTP);
  ASSERT_TRUE(checker.waitFor(kReading)) << checker.output();  // the stop has been handled
  ASSERT_TRUE(setLineMode(checker.terminalPath()));
  checker.signal(SIGCONT);
  ASSERT_TRUE(checker.waitForKeyMode());
  ASSERT_TRUE(checker.type("\x1b"));
  expectCleanEnd(session);
}

struct StopRequest {
  const char* name;
  std::function<void(CheckerProcess&)> send;
};

// Names the row in failure messages (instead of its bytes).
void PrintTo(const StopRequest& row, std::ostream* out) {
  *out << row.name;
}

class StopRequests : public ::testing::TestWithParam<StopRequest> {};

TEST_P(StopRequests, EndTheRunAsCleanlyAsEsc) {
  ScaleSession session;
  ASSERT_TRUE(session.start({"--kind", "stream"}));
  CheckerProcess& checker = session.checker();
  ASSERT_TRUE(checker.waitFor(kReading)) << checker.output();
  ASSERT_TRUE(checker.inKeyMode()) << "the terminal should be set for single keys while polling";

  GetParam().send(checker);
  expectCleanEnd(session);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, StopRequests,
    ::testing::Values(
        // Typed into the terminal: the terminal sends SIGINT.
        StopRequest{"CtrlC", [](CheckerProcess& checker) { ASSERT_TRUE(checker.type("\x03")); }},
        StopRequest{"Sigterm", [](CheckerProcess& checker) { checker.signal(SIGTERM); }}),
    [](const ::testing::TestParamInfo<StopRequest>& row) { return row.param.name; });

}  // namespace
}  // namespace scalecheck::e2e
