// The start-up dialog of the built program, as the operator meets it: in a
// terminal, and with answers coming from a pipe.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ostream>
#include <string>
#include <vector>

#include "e2e/checker_process.h"
#include "e2e/console_texts.h"
#include "e2e/scratch_dir.h"

namespace scalecheck::e2e {
namespace {

// COM 200 with no mapping is /dev/ttyS199, which hardly any machine has;
// the cases that need it step aside where it exists.
constexpr const char* kMissingDevice = "/dev/ttyS199";

bool deviceExists(const char* path) {
  struct stat entry {};
  return stat(path, &entry) == 0;
}

// The line after a port that did not open; which ports it offers instead
// depends on the machine.
const std::string kNoDeviceReason =
    "\r\nПорт " + std::string(kMissingDevice) + ": такого устройства нет. ";

// The program showed `screen`, then, after a port that did not open, the
// reason line, then the line break that ends every run.
::testing::AssertionResult showed(const std::string& output, const std::string& screen) {
  std::string rest =
      output.compare(0, screen.size(), screen) == 0 ? output.substr(screen.size()) : "(differs)";
  if (screen.size() >= kPortNotOpened.size() &&
      screen.compare(screen.size() - kPortNotOpened.size(), kPortNotOpened.size(),
                     kPortNotOpened) == 0) {
    const std::size_t end = rest.find("\r\n", 2);
    const bool reason = rest.compare(0, kNoDeviceReason.size(), kNoDeviceReason) == 0 &&
                        end != std::string::npos && rest[end - 1] == '.';
    rest = reason ? rest.substr(end) : "(no reason line)";
  }
  if (rest != "\r\n") {
    return ::testing::AssertionFailure() << "the program showed\n" << output << "\nnot\n" << screen;
  }
  return ::testing::AssertionSuccess();
}

struct RefusedDialog {
  const char* name;
  std::vector<std::string> answers;
  std::string screen;  // all the program shows, with the terminal's echo
};

// Names the row in failure messages (instead of its bytes).
void PrintTo(const RefusedDialog& row, std::ostream* out) {
  *out << row.name;
}

class RefusedDialogTest : public ::testing::TestWithParam<RefusedDialog> {};

// Each refusal shows its text (and why a port did not open), then the
// program waits for one key, unechoed, and ends with status 0 on it.
TEST_P(RefusedDialogTest, ShowsWhyAndEndsOnOneKey) {
  const std::vector<std::string>& answers = GetParam().answers;
  if (answers.back() == "com200" && deviceExists(kMissingDevice)) {
    GTEST_SKIP() << kMissingDevice << " exists on this machine";
  }
  ScratchDir work;
  ScratchDir ports;  // empty: no COM number is mapped
  ASSERT_TRUE(work.ok() && ports.ok());
  CheckerProcess checker;
  ASSERT_TRUE(checker.startInTerminal(work.path(), ports.path()));

  const std::vector<std::string> questions{kBanner, kAskPort};
  for (std::size_t i = 0; i < answers.size(); ++i) {
    ASSERT_TRUE(checker.waitFor(questions[i])) << checker.output();
    ASSERT_TRUE(checker.type(answers[i] + "\r"));
  }
  ASSERT_TRUE(checker.waitForKeyMode()) << checker.output();
  EXPECT_TRUE(checker.running());
  ASSERT_TRUE(checker.type("x"));

  const harness::ExitStatus status = checker.waitForExit();
  EXPECT_TRUE(status.exited) << "signal " << status.signal;
  EXPECT_EQ(status.code, 0);
  EXPECT_TRUE(showed(checker.output(), GetParam().screen));
  EXPECT_FALSE(work.exists("#Log.csv"));
  EXPECT_FALSE(work.exists("#DeviceIO"));
}

INSTANTIATE_TEST_SUITE_P(
    Terminal, RefusedDialogTest,
    ::testing::Values(RefusedDialog{"OptionThree", {"3"}, kBanner + "3\n" + kBadOption},
                      RefusedDialog{"PortWithoutComPrefix",
                                    {"2", "port5"},
                                    kBanner + "2\n" + kAskPort + "port5\n" + kBadPort},
                      RefusedDialog{"PortWithNoDevice",
                                    {"1", "com200"},
                                    kBanner + "1\n" + kAskPort + "com200\n" + kPortNotOpened}),
    [](const ::testing::TestParamInfo<RefusedDialog>& row) { return row.param.name; });

struct PipedDialog {
  const char* name;
  std::string input;
  std::string screen;
};

// Names the row in failure messages (instead of its bytes).
void PrintTo(const PipedDialog& row, std::ostream* out) {
  *out << row.name;
}

class PipedDialogTest : public ::testing::TestWithParam<PipedDialog> {};

// Answers from a pipe (a file of answers): no echo, and once the input has
// ended the one-key wait returns at once, so the program ends by itself.
TEST_P(PipedDialogTest, EndsByItselfAtTheEndOfInput) {
  if (deviceExists(kMissingDevice)) GTEST_SKIP() << kMissingDevice << " exists on this machine";
  ScratchDir work;
  ScratchDir ports;
  ASSERT_TRUE(work.ok() && ports.ok());
  CheckerProcess checker;
  ASSERT_TRUE(checker.startWithPipes(work.path(), ports.path()));
  ASSERT_TRUE(checker.type(GetParam().input));
  checker.closeInput();

  const harness::ExitStatus status = checker.waitForExit();
  EXPECT_TRUE(status.exited) << "signal " << status.signal;
  EXPECT_EQ(status.code, 0);
  EXPECT_TRUE(showed(checker.output(), GetParam().screen));
}

INSTANTIATE_TEST_SUITE_P(
    Pipe, PipedDialogTest,
    ::testing::Values(PipedDialog{"PortWithNoDevice", "1\ncom200\n",
                                  kBanner + kAskPort + kPortNotOpened},
                      // Answers written on Windows end in CR LF.
                      PipedDialog{"CarriageReturnsDropped", "2\r\ncom200\r\n",
                                  kBanner + kAskPort + kPortNotOpened},
                      PipedDialog{"WrongOption", "7\n", kBanner + kBadOption},
                      PipedDialog{"EmptyInput", "", kBanner + kBadOption},
                      PipedDialog{"InputEndsBeforeThePort", "1\n", kBanner + kAskPort + kBadPort}),
    [](const ::testing::TestParamInfo<PipedDialog>& row) { return row.param.name; });

}  // namespace
}  // namespace scalecheck::e2e
