#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "platform/console.h"
#include "platform/cp1251.h"
#include "posix/forked_child.h"
#include "posix/pty_pair.h"

namespace scalecheck {
namespace {

using platform::systemConsole;
using posix_test::kSafetyMs;
using posix_test::PtyPair;

// The console belongs to the process and prepares itself on first use, so
// each case runs it in a child process of its own, with the standard input
// the case needs; the child reports back one line per observation.
using ChildProcess = posix_test::ForkedChild;

void say(int report, const std::string& text) {
  const std::string line = text + "\n";
  static_cast<void>(::write(report, line.data(), line.size()));
}

// Makes a pipe holding `bytes`, then its end, the standard input.
void inputFromPipe(const std::string& bytes) {
  int input[2];
  if (pipe(input) != 0) _exit(2);
  if (::write(input[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) _exit(2);
  ::close(input[1]);
  dup2(input[0], STDIN_FILENO);
  ::close(input[0]);
}

// Makes the pseudo-terminal the standard input and controlling terminal of
// a new session, as a shell does for the program it starts.
void inputFromTerminal(const std::string& slavePath) {
  setsid();
  const int terminal = ::open(slavePath.c_str(), O_RDWR);
  if (terminal < 0 || dup2(terminal, STDIN_FILENO) < 0) _exit(2);
  ioctl(STDIN_FILENO, TIOCSCTTY, 0);
}

constexpr int kAnySequence = -2;  // expected: any code but Esc's

std::string keyText(int key) {
  return std::to_string(key);
}

TEST(ConsolePipe, ReadLineKeepsFifteenCharactersAndDropsTheRest) {
  ChildProcess child([](int report) {
    inputFromPipe("0123456789ABCDEFGHIJ\nsecond\r\n\n0123456789ABCDE\r\nno line end");
    for (int line = 0; line < 6; ++line) {
      char answer[16];
      systemConsole().readLine(answer, sizeof answer);
      say(report, answer);
    }
  });
  EXPECT_EQ(child.nextLine(), "0123456789ABCDE");
  EXPECT_EQ(child.nextLine(), "second");  // the rest of the long line did not leak
  EXPECT_EQ(child.nextLine(), "");
  EXPECT_EQ(child.nextLine(), "0123456789ABCDE");
  EXPECT_EQ(child.nextLine(), "no line end");
  EXPECT_EQ(child.nextLine(), "");  // end of input
}

TEST(ConsolePipe, KeysUntilTheEndOfInput) {
  ChildProcess child([](int report) {
    inputFromPipe("a\x1b[Bb\x1b");
    platform::Console& console = systemConsole();
    say(report, console.keyWaiting() ? "waiting" : "none");
    for (int key = 0; key < 4; ++key) say(report, keyText(console.readKey()));
    say(report, console.keyWaiting() ? "waiting" : "none");
    say(report, keyText(console.readKey()));  // must not block: the one-key wait ends
  });
  EXPECT_EQ(child.nextLine(), "waiting");
  EXPECT_EQ(child.nextLine(), keyText('a'));
  const std::string arrow = child.nextLine();
  EXPECT_NE(arrow, keyText(platform::kKeyEscape));
  EXPECT_NE(arrow, keyText('B'));
  EXPECT_EQ(child.nextLine(), keyText('b'));
  EXPECT_EQ(child.nextLine(), keyText(platform::kKeyEscape));  // nothing after it
  EXPECT_EQ(child.nextLine(), "none");
  EXPECT_EQ(child.nextLine(), "-1");
}

TEST(ConsolePipe, KeyLookedAtStaysPartOfTheNextLine) {
  ChildProcess child([](int report) {
    inputFromPipe("kline\nx");
    platform::Console& console = systemConsole();
    say(report, console.keyWaiting() ? "waiting" : "none");
    char answer[16];
    console.readLine(answer, sizeof answer);
    say(report, answer);
    say(report, keyText(console.readKey()));
  });
  EXPECT_EQ(child.nextLine(), "waiting");
  EXPECT_EQ(child.nextLine(), "kline");
  EXPECT_EQ(child.nextLine(), keyText('x'));
}

TEST(ConsolePipe, WritesWindows1251TextAsUtf8) {
  int output[2];
  ASSERT_EQ(pipe(output), 0);
  ChildProcess child([&](int report) {
    dup2(output[1], STDOUT_FILENO);
    constexpr auto text = platform::cp1251("\r\n Вес: 1,5 кг");
    systemConsole().write(text.c_str(), text.size);
    say(report, "written");
  });
  ::close(output[1]);
  EXPECT_EQ(child.nextLine(), "written");
  child.finish();
  std::string shown;
  char buffer[64];
  for (ssize_t n = 0; (n = ::read(output[0], buffer, sizeof buffer)) > 0;) {
    shown.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(output[0]);
  EXPECT_EQ(shown, "\r\n Вес: 1,5 кг");
}

TEST(ConsoleTerminal, LoneEscIsEscAndSequencesAreOneOtherKey) {
  PtyPair terminal;
  ASSERT_TRUE(terminal.ok());
  const std::pair<const char*, int> keys[] = {
      {"\x1b", platform::kKeyEscape},
      {"\x1b[A", kAnySequence},      // up arrow
      {"\x1bOP", kAnySequence},      // F1
      {"\x1b[15~", kAnySequence},    // F5
      {"\x1b[[A", kAnySequence},     // F1 on the Linux console
      {"\x1bx", kAnySequence},       // Alt+x
      {"\x1b\x1b[D", kAnySequence},  // Alt+left arrow
      {"q", 'q'},
      {"\x1b", platform::kKeyEscape},
  };
  const std::string& slavePath = terminal.slavePath();
  ChildProcess child([&](int report) {
    inputFromTerminal(slavePath);
    say(report, systemConsole().keyWaiting() ? "waiting" : "none");
    for (std::size_t key = 0; key < std::size(keys); ++key) {
      say(report, keyText(systemConsole().readKey()));
    }
    char answer[16];
    systemConsole().readLine(answer, sizeof answer);
    say(report, answer);
  });
  // Typed only once the terminal is set for single keys: earlier it would
  // be echoed. One key at a time, each written as a terminal writes it.
  EXPECT_EQ(child.nextLine(), "none");
  for (const auto& [bytes, code] : keys) {
    SCOPED_TRACE(testing::PrintToString(std::string(bytes)));
    ASSERT_TRUE(terminal.send(bytes));
    const std::string got = child.nextLine();
    if (code == kAnySequence) {
      EXPECT_NE(got, keyText(platform::kKeyEscape));
      EXPECT_NE(got, "<none>");
    } else {
      EXPECT_EQ(got, keyText(code));
    }
  }
  // Keys came unechoed; the answer after them is an echoed line again,
  // typed once the terminal is back in its own mode.
  const int watcher = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(watcher, 0);
  termios settings{};
  EXPECT_TRUE(posix_test::eventually(
      [&] { return tcgetattr(watcher, &settings) == 0 && (settings.c_lflag & ICANON) != 0; },
      posix_test::pauseOneMs));
  ::close(watcher);
  ASSERT_TRUE(terminal.send("answer\r"));
  EXPECT_EQ(child.nextLine(), "answer");
  EXPECT_EQ(terminal.receive(8), "answer\r\n");
}

TEST(ConsoleTerminal, CtrlCEndsTheKeyWaitAndRestoresTheTerminal) {
  PtyPair terminal;
  ASSERT_TRUE(terminal.ok());
  const std::string& slavePath = terminal.slavePath();
  ChildProcess child([&](int report) {
    inputFromTerminal(slavePath);
    platform::Console& console = systemConsole();
    say(report, console.keyWaiting() ? "waiting" : "none");
    say(report, keyText(console.readKey()));
    say(report, console.interruptRequested() ? "interrupted" : "running");
    // Ends without any destructor: only the signal handler can have put
    // the terminal back.
  });
  const int watcher = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(watcher, 0);
  EXPECT_EQ(child.nextLine(), "none");
  termios settings{};
  ASSERT_EQ(tcgetattr(watcher, &settings), 0);
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO), 0U);  // single keys, unechoed
  EXPECT_NE(settings.c_lflag & ISIG, 0U);             // Ctrl+C still a signal

  ASSERT_TRUE(terminal.send("\x03"));
  EXPECT_EQ(child.nextLine(), "-1");
  EXPECT_EQ(child.nextLine(), "interrupted");
  ASSERT_EQ(tcgetattr(watcher, &settings), 0);
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO), tcflag_t{ICANON | ECHO});
  ::close(watcher);
}

}  // namespace
}  // namespace scalecheck
