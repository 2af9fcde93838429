#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "console/poll_loop.h"
#include "platform/console.h"
#include "platform/cp1251.h"
#include "posix/forked_child.h"
#include "posix/pty_pair.h"

namespace scalecheck {
namespace {

// The console belongs to the process and prepares itself on first use, so
// each case runs it in a child process of its own (ForkedChild), with the
// standard input the case needs; the child reports back one line per
// observation.
using platform::systemConsole;
using posix_test::ForkedChild;
using posix_test::kSafetyMs;
using posix_test::PtyPair;

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

// The terminal's mode, read as another program reads it: "keys" (single
// unechoed keys, Ctrl+S a key too) or "lines" (its own settings: edited,
// echoed lines, Ctrl+S stopping the output).
std::string modeOf(const std::string& terminalPath) {
  termios settings{};
  const int fd = ::open(terminalPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  const bool read = fd >= 0 && tcgetattr(fd, &settings) == 0;
  if (fd >= 0) ::close(fd);
  const tcflag_t lines = settings.c_lflag & (ICANON | ECHO);
  const tcflag_t flowControl = settings.c_iflag & IXON;
  if (read && lines == 0 && flowControl == 0) return "keys";
  if (read && lines == (ICANON | ECHO) && flowControl != 0) return "lines";
  return "other";
}

bool becomesKeyMode(const std::string& terminalPath) {
  return posix_test::eventually([&] { return modeOf(terminalPath) == "keys"; },
                                posix_test::pauseOneMs);
}

std::string keyText(int key) {
  return std::to_string(key);
}

TEST(ConsolePipe, ReadLineKeepsFifteenCharactersAndDropsTheRest) {
  ForkedChild child([](int report) {
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
  ForkedChild child([](int report) {
    inputFromPipe("a\x1b[Bb\x1b");
    platform::Console& console = systemConsole();
    say(report, console.keyWaiting() ? "waiting" : "none");
    for (int key = 0; key < 4; ++key) say(report, keyText(console.readKey()));
    say(report, console.keyWaiting() ? "waiting" : "none");
    say(report, console.inputGone() ? "gone" : "no keys");  // a pipe at its end: no terminal gone
    say(report, keyText(console.readKey()));                // must not block: the one-key wait ends
  });
  EXPECT_EQ(child.nextLine(), "waiting");
  EXPECT_EQ(child.nextLine(), keyText('a'));
  const std::string arrow = child.nextLine();
  EXPECT_NE(arrow, keyText(platform::kKeyEscape));
  EXPECT_NE(arrow, keyText('B'));
  EXPECT_EQ(child.nextLine(), keyText('b'));
  EXPECT_EQ(child.nextLine(), keyText(platform::kKeyEscape));  // nothing after it
  EXPECT_EQ(child.nextLine(), "none");
  EXPECT_EQ(child.nextLine(), "no keys");
  EXPECT_EQ(child.nextLine(), "-1");
}

TEST(ConsolePipe, KeyLookedAtStaysPartOfTheNextLine) {
  ForkedChild child([](int report) {
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

// What a pipe still holds once its writers have gone; its end is closed.
std::string drained(int readEnd) {
  std::string bytes;
  char buffer[64];
  for (ssize_t n = 0; (n = ::read(readEnd, buffer, sizeof buffer)) > 0;) {
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(readEnd);
  return bytes;
}

TEST(ConsolePipe, WritesWindows1251TextAsUtf8) {
  int output[2];
  ASSERT_EQ(pipe(output), 0);
  ForkedChild child([&](int report) {
    dup2(output[1], STDOUT_FILENO);
    constexpr auto text = platform::cp1251("\r\n Вес: 1,5 кг");
    systemConsole().write(text.c_str(), text.size);
    say(report, "written");
  });
  ::close(output[1]);
  EXPECT_EQ(child.nextLine(), "written");
  child.finish();
  EXPECT_EQ(drained(output[0]), "\r\n Вес: 1,5 кг");
}

// A failure goes with the output, as the dialog has it, until the program
// follows shell conventions; then to standard error, and a stream that is
// no terminal gets its lines ended by LF alone. A terminal (output
// processing off here, to see the bytes) gets them as written.
TEST(ConsolePipe, ShellConventionsPutFailuresApartAndEndPipedLinesByLf) {
  for (const bool terminal : {false, true}) {
    SCOPED_TRACE(terminal ? "terminal" : "pipe");
    PtyPair screen;
    int output[2];
    int errors[2];
    ASSERT_TRUE(screen.ok() && pipe(output) == 0 && pipe(errors) == 0);
    ForkedChild child([&](int report) {
      const int shown =
          terminal ? ::open(screen.slavePath().c_str(), O_RDWR | O_NOCTTY) : output[1];
      termios settings{};
      if (terminal && tcgetattr(shown, &settings) == 0) {
        settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tcsetattr(shown, TCSANOW, &settings);
      }
      dup2(shown, STDOUT_FILENO);
      dup2(errors[1], STDERR_FILENO);
      platform::Console& console = systemConsole();
      console.write("a\r\n", 3);
      console.writeError("b\r\n", 3);
      console.followShellConventions();
      console.write("c\r\n", 3);
      console.writeError("d\r\n", 3);
      say(report, "written");
    });
    ::close(output[1]);
    ::close(errors[1]);
    EXPECT_EQ(child.nextLine(), "written");
    child.finish();
    EXPECT_EQ(terminal ? screen.receive(9) : drained(output[0]),
              terminal ? "a\r\nb\r\nc\r\n" : "a\r\nb\r\nc\n");
    EXPECT_EQ(drained(errors[0]), "d\n");
    if (terminal) ::close(output[0]);
  }
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
      {"\x13", 0x13},  // Ctrl+S: a key, not a stop of the output
      {"\x1b", platform::kKeyEscape},
  };
  const std::string& slavePath = terminal.slavePath();
  ForkedChild child([&](int report) {
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
  ForkedChild child([&](int report) {
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
  EXPECT_EQ(modeOf(slavePath), "keys");               // Ctrl+S too a key, no output stop

  ASSERT_TRUE(terminal.send("\x03"));
  EXPECT_EQ(child.nextLine(), "-1");
  EXPECT_EQ(child.nextLine(), "interrupted");
  ASSERT_EQ(tcgetattr(watcher, &settings), 0);
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO), tcflag_t{ICANON | ECHO});
  EXPECT_EQ(modeOf(slavePath), "lines");
  ::close(watcher);
}

// Voluntary context switches of this thread so far: a wait in poll() makes
// one, work that never waits makes none, however busy the machine is.
long voluntarySwitches() {
  rusage usage{};
  return getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_nvcsw : -1;
}

// The reading end of a pipe that nobody reads is full: a write waits out
// its bound and is dropped, and the next is not waited for at all.
TEST(ConsolePipe, AWriteThatCannotProceedIsDroppedAfterItsBound) {
  int output[2];
  ASSERT_EQ(pipe(output), 0);
  ForkedChild child([&](int report) {
    dup2(output[1], STDOUT_FILENO);
    // Filled through a non-blocking moment; the program's output is a
    // blocking one, as a shell leaves it.
    fcntl(STDOUT_FILENO, F_SETFL, O_NONBLOCK);
    while (::write(STDOUT_FILENO, "x", 1) == 1) {
    }
    fcntl(STDOUT_FILENO, F_SETFL, 0);
    const auto start = std::chrono::steady_clock::now();
    systemConsole().write("reading", 7);
    // The bound of 1 s runs from a whole millisecond of the same clock.
    say(report, posix_test::elapsedMs(start) >= 999 ? "waited its bound" : "gave up early");
    const long switches = voluntarySwitches();
    systemConsole().write("reading", 7);
    say(report, voluntarySwitches() == switches ? "did not wait" : "waited");
  });
  ::close(output[1]);
  EXPECT_EQ(child.nextLine(), "waited its bound");
  EXPECT_EQ(child.nextLine(), "did not wait");
  ::close(output[0]);
}

TEST(ConsoleTerminal, EscAtTheEndOfAPastedBurstIsSeenInOneLook) {
  PtyPair terminal;
  ASSERT_TRUE(terminal.ok());
  const std::string burst = std::string(500, 'a') + "\x1b";
  const std::string& slavePath = terminal.slavePath();
  ForkedChild child([&](int report) {
    inputFromTerminal(slavePath);
    say(report, systemConsole().keyWaiting() ? "waiting" : "none");
    int waiting = 0;
    while (waiting < static_cast<int>(burst.size()) &&
           ioctl(STDIN_FILENO, FIONREAD, &waiting) == 0) {
      posix_test::pauseOneMs();
    }
    say(report, console::leaveRequested(systemConsole()) ? "leave" : "stay");
  });
  EXPECT_EQ(child.nextLine(), "none");
  ASSERT_TRUE(terminal.send(burst));
  EXPECT_EQ(child.nextLine(), "leave");
}

// The terminal goes away without a hang-up signal, as for a program started
// with SIGHUP ignored (nohup): waiting for a key or for a line, the console
// says so, and it is no stop request.
TEST(ConsoleTerminal, ATerminalThatGoesAwayIsReportedGone) {
  for (const bool waitingForLine : {false, true}) {
    SCOPED_TRACE(waitingForLine ? "line" : "key");
    PtyPair terminal;
    ASSERT_TRUE(terminal.ok());
    const std::string& slavePath = terminal.slavePath();
    const int master = terminal.master();
    ForkedChild child([&](int report) {
      ::close(master);  // the test holds the terminal's only other side
      const int input = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY);  // not controlling
      if (input < 0 || dup2(input, STDIN_FILENO) < 0) _exit(2);
      platform::Console& console = systemConsole();
      say(report, console.keyWaiting() ? "waiting" : "none");
      if (waitingForLine) {
        char answer[16];
        console.readLine(answer, sizeof answer);
      }
      for (int look = 0; look < kSafetyMs && !console.inputGone(); ++look) {
        static_cast<void>(console.keyWaiting());
        posix_test::pauseOneMs();
      }
      say(report, console.inputGone() ? "gone" : "there");
      say(report, console.interruptRequested() ? "interrupted" : "running");
    });
    EXPECT_EQ(child.nextLine(), "none");
    terminal.closeMaster();
    EXPECT_EQ(child.nextLine(), "gone");
    EXPECT_EQ(child.nextLine(), "running");
  }
}

// A job as a shell runs it: in a process group of its own, which takes the
// terminal, reading keys as the poll loop does. Reports "background" the
// first time it finds the terminal taken from it, and every key it reads.
[[noreturn]] void runJob(int report) {
  setpgid(0, 0);
  tcsetpgrp(STDIN_FILENO, getpgrp());  // SIGTTOU ignored as yet, as in a shell's child
  signal(SIGTTOU, SIG_DFL);            // from now on, touching the terminal from behind stops it
  platform::Console& console = systemConsole();
  bool inBackground = false;
  for (int look = 0; look < kSafetyMs; ++look) {
    if (console.keyWaiting()) {
      const int key = console.readKey();
      say(report, keyText(key));
      if (key == platform::kKeyEscape) _exit(0);
    }
    const bool background = tcgetpgrp(STDIN_FILENO) != getpgrp();
    if (background && !inBackground) say(report, "background");
    inBackground = background;
    posix_test::pauseOneMs();
  }
  _exit(1);
}

// Reads one command line typed at the shell.
std::string typedCommand() {
  std::string line;
  char byte = 0;
  while (::read(STDIN_FILENO, &byte, 1) == 1 && byte != '\n') line += byte;
  return line;
}

// Ctrl+Z, then bg, then fg, the job control of a shell: stopped or in the
// background, the job leaves the terminal in its own settings (and does not
// stop itself by touching it); back in front, it takes single keys again.
TEST(ConsoleTerminal, StoppedOrInTheBackgroundTheTerminalIsTheShellsAgain) {
  PtyPair terminal;
  ASSERT_TRUE(terminal.ok());
  const std::string& slavePath = terminal.slavePath();
  ForkedChild shell([&](int report) {
    inputFromTerminal(slavePath);
    signal(SIGTTOU, SIG_IGN);  // a shell sets the terminal while a job runs
    const pid_t job = fork();
    if (job == 0) runJob(report);
    setpgid(job, job);
    int status = 0;
    waitpid(job, &status, WUNTRACED);
    say(report, WIFSTOPPED(status) ? "stopped" : "ended");
    tcsetpgrp(STDIN_FILENO, getpgrp());
    for (int command = 0; command < 2; ++command) {
      if (typedCommand() == "fg") tcsetpgrp(STDIN_FILENO, job);
      kill(-job, SIGCONT);
    }
    waitpid(job, &status, 0);
  });
  ASSERT_TRUE(becomesKeyMode(slavePath));
  ASSERT_TRUE(terminal.send("\x1a"));  // Ctrl+Z
  EXPECT_EQ(shell.nextLine(), "stopped");
  EXPECT_EQ(modeOf(slavePath), "lines");
  ASSERT_TRUE(terminal.send("bg\n"));
  EXPECT_EQ(shell.nextLine(), "background");
  EXPECT_EQ(modeOf(slavePath), "lines");
  ASSERT_TRUE(terminal.send("fg\n"));
  ASSERT_TRUE(becomesKeyMode(slavePath));
  ASSERT_TRUE(terminal.send("\x1b"));
  EXPECT_EQ(shell.nextLine(), keyText(platform::kKeyEscape));
}

}  // namespace
}  // namespace scalecheck
