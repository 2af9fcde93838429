#include "console/dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "console/answer_parsing.h"
#include "fakes/fake_console.h"
#include "fakes/fake_port_facts.h"
#include "fakes/fake_services.h"
#include "program_texts.h"

namespace scalecheck::console {
namespace {

using testing::FakeConsole;
using testing::FakePortFacts;
using testing::FakeServices;
using testing::noDeviceReason;

using testing::kAskPort;
using testing::kBadOption;
using testing::kBadPort;
using testing::kBanner;
const std::string& kNoPort = testing::kPortNotOpened;

struct DialogRun {
  std::string output;  // UTF-8
  int status;
  int keysRead;
  std::vector<std::string> portsOpened;
  bool portOpen;
};

DialogRun runDialog(const std::string& option, const std::string& port, bool portPresent = false) {
  FakeServices fake;
  FakeConsole console(fake.clock);
  fake.serial.present = portPresent;
  console.typeLine(option);
  console.typeLine(port);
  console.pressKeyAt(0, 'q');  // answers the one-key wait after a failure
  FakePortFacts ports;
  const int status = runDialog(console, fake.services, ports);
  return {console.utf8(), status, console.keysRead, fake.serialPorts.namesOpened,
          fake.serial.isOpen};
}

TEST(Dialog, OptionAnswersSelectOrEndTheRun) {
  struct Case {
    const char* answer;
    bool accepted;
  };
  const Case cases[] = {{"1", true},
                        {"2", true},
                        {" 2", true},
                        {"2x", true},
                        {"+1", true},
                        {"3", false},
                        {"0", false},
                        {"", false},
                        {"x", false},
                        {"-1", false},
                        {"99999999999999999999", false}};
  for (const Case& c : cases) {
    const DialogRun run = runDialog(c.answer, "com1");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.keysRead, 1) << "one key ends every failure";
    if (c.accepted) {
      EXPECT_EQ(run.output, kBanner + kAskPort + kNoPort + noDeviceReason("fake:com1")) << c.answer;
    } else {
      EXPECT_EQ(run.output, kBanner + kBadOption) << c.answer;
      EXPECT_TRUE(run.portsOpened.empty());
    }
  }
}

TEST(Dialog, PortAnswersNameTheComPort) {
  struct Case {
    const char* answer;
    const char* opened;  // null: refused
  };
  const Case cases[] = {
      {"com3", "com3"},
      {"COM3", "com3"},
      {"Com3", "com3"},
      {"3", "com3"},
      {"256", "\\\\.\\com256"},
      {"com10", "\\\\.\\com10"},
      {"com1234", "\\\\.\\com123"},
      {"x5", "com5"},
      {"c0m", nullptr},
      {"com257", nullptr},
      {"0", nullptr},
      {"1234", nullptr},
      {"port5", nullptr},
      {"com", nullptr},
      {"", nullptr},
      {"com 7", "com7"},
      {"com0", nullptr},
  };
  for (const Case& c : cases) {
    const DialogRun run = runDialog("1", c.answer);
    EXPECT_EQ(run.status, 0);
    if (c.opened != nullptr) {
      ASSERT_EQ(run.portsOpened.size(), 1U) << c.answer;
      EXPECT_EQ(run.portsOpened[0], c.opened);
      EXPECT_EQ(run.output,
                kBanner + kAskPort + kNoPort + noDeviceReason(std::string("fake:") + c.opened));
    } else {
      EXPECT_TRUE(run.portsOpened.empty()) << c.answer;
      EXPECT_EQ(run.output, kBanner + kAskPort + kBadPort) << c.answer;
    }
  }
}

TEST(Dialog, SettingsThatCannotBeAppliedShowTheChannelSettingsCode) {
  FakeServices fake;
  FakeConsole console(fake.clock);
  FakePortFacts ports;
  fake.serial.failNext(testing::SerialCall::kSetState);
  fake.serial.failureReported = {platform::FailureKind::kSettingsRefused, 0};
  console.typeLine("2");
  console.typeLine("com2");
  console.pressKeyAt(0, ' ');
  EXPECT_EQ(runDialog(console, fake.services, ports), 0);
  EXPECT_EQ(console.utf8(),
            kBanner + kAskPort +
                "\r\nНе смог подключиться к весам. 102, Ошибка настроек канала связи."
                "\r\nПорт fake:com2: драйвер не принял настройки 9600,Even,7,1.");
  EXPECT_EQ(console.keysRead, 1);
  EXPECT_FALSE(fake.serial.isOpen);
}

TEST(Dialog, TheSecondOptionOpensSevenEvenOne) {
  FakeServices fake;
  FakeConsole console(fake.clock);
  console.typeLine("2");
  console.typeLine("com4");
  console.pressKeyAt(1500, 27);  // Esc while the poll loop waits
  FakePortFacts ports;
  EXPECT_EQ(runDialog(console, fake.services, ports), 0);
  EXPECT_EQ(fake.serial.state.byteSize, 7);
  EXPECT_EQ(fake.serial.state.parity, 2);
  EXPECT_FALSE(fake.serial.isOpen) << "closed after Esc";
}

TEST(Dialog, EndOfInputStillEndsTheRun) {
  FakeServices fake;
  FakeConsole console(fake.clock);  // no answers, no keys
  FakePortFacts ports;
  EXPECT_EQ(runDialog(console, fake.services, ports), 0);
  EXPECT_EQ(console.utf8(), kBanner + kBadOption);
}

TEST(Dialog, AnInterruptWhileAnsweringEndsQuietly) {
  FakeServices fake;
  FakeConsole console(fake.clock);
  console.interruptAt(0);
  FakePortFacts ports;
  EXPECT_EQ(runDialog(console, fake.services, ports), 0);
  EXPECT_EQ(console.utf8(), kBanner);
  EXPECT_EQ(console.keysRead, 0);
}

TEST(AnswerParsing, LeadingIntegerSaturatesInsteadOfOverflowing) {
  struct Case {
    const char* text;
    std::int32_t value;
  };
  const Case cases[] = {
      {"42", 42},
      {"  -7x", -7},
      {"+3", 3},
      {"x1", 0},
      {"", 0},
      {"-", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-99999999999999999999", -2147483647 - 1},
      {"\t\n 12", 12},
  };
  for (const Case& c : cases) EXPECT_EQ(leadingInteger(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace scalecheck::console
