#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/console.h"
#include "windows/child_process.h"

namespace scalecheck::platform {

namespace {

// Every byte value but NUL, and the CR LF the program's texts begin with.
std::string allBytes() {
  std::string bytes = "\r\n";
  for (int b = 1; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}

void writeText(const std::string& text) {
  systemConsole().write(text.data(), text.size());
}

constexpr int kRanToItsEnd = 7;

}  // namespace

// The child's side: what the test program does when started as a child.
int runConsoleChild(const char* mode) {
  Console& console = systemConsole();
  if (std::strcmp(mode, "write") == 0) {
    writeText(allBytes());
    return 0;
  }
  if (std::strcmp(mode, "read") == 0) {
    char line[8];
    for (int i = 0; i < 4; ++i) {
      console.readLine(line, sizeof line);
      writeText("[" + std::string(line) + "]");
    }
    writeText(console.keyWaiting() ? " waiting" : " none");
    writeText(" " + std::to_string(console.readKey()));
    return 0;
  }
  if (std::strcmp(mode, "ctrl-c") == 0) {
    // A console of its own, so that the events reach no other program.
    FreeConsole();
    AllocConsole();
    Console& own = systemConsole();
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    // The handler runs on a thread of its own; 5 s only bound a failure.
    for (int wait = 0; wait < 500 && !own.interruptRequested(); ++wait) Sleep(10);
    std::printf("%s", own.interruptRequested() ? "asked" : "not asked");
    std::fflush(stdout);
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);  // this one ends the process
    Sleep(5000);
    std::printf(" still running");
    return kRanToItsEnd;
  }
  return 2;
}

namespace {

// Standard output is a pipe here, not a console: the bytes pass unchanged,
// with no text-mode CR before LF and no stop at Ctrl+Z.
TEST(WinConsole, WritesBytesUnchangedWhenOutputIsNotAConsole) {
  const ChildRun run = runSelfAsChild("write", "");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0U);
  EXPECT_EQ(run.output, allBytes());
}

// Lines from a pipe: CR LF and LF both end a line, the rest of a long line is
// dropped, end of input gives empty lines; no key can come, and the key wait
// returns at once instead of hanging.
TEST(WinConsole, ReadsLinesAndNoKeysFromAPipe) {
  const ChildRun run = runSelfAsChild("read", "abc\r\n0123456789ABC\nlast");
  ASSERT_TRUE(run.finished) << "the child hung";
  EXPECT_EQ(run.exitCode, 0U);
  EXPECT_EQ(run.output, "[abc][0123456][last][] none -1");
}

// The first Ctrl+C asks the program to end itself; a second one while it
// has not ends it, in case it is stuck in a call without a bound.
TEST(WinConsole, ASecondCtrlCEndsTheProcess) {
  const ChildRun run = runSelfAsChild("ctrl-c", "");
  ASSERT_TRUE(run.finished) << "the child hung";
  EXPECT_EQ(run.output, "asked");
  // STATUS_CONTROL_C_EXIT on Windows; Wine 8 ends it with 0.
  EXPECT_NE(run.exitCode, static_cast<unsigned long>(kRanToItsEnd));
}

}  // namespace
}  // namespace scalecheck::platform
