#include "console/poll_loop.h"

#include <gtest/gtest.h>

#include <string>

#include "console/dialog.h"
#include "fakes/fake_console.h"
#include "fakes/fake_port_facts.h"
#include "fakes/fake_services.h"
#include "fakes/oversleeping_clock.h"
#include "fakes/scripted_scales.h"
#include "platform/cp1251.h"

namespace scalecheck::console {
namespace {

using testing::FakeConsole;
using testing::FakeServices;
using testing::ScriptedScale;

const std::string kFrame = "ST,GS,+  1.234kg\r\n";

class PollLoopTest : public ::testing::Test {
 protected:
  FakeServices fake;
  FakeConsole console{fake.clock};
  std::unique_ptr<ScaleLink> link;
  RecordFile log{fake.files, "#Log.csv"};
  ScriptedScale scale;

  void SetUp() override {
    fake.clock.setCalendarOrigin({2026, 12, 8, 14, 3, 0});
    link = std::make_unique<ScaleLink>(testing::serialLinkSettings(), fake.services);
    ASSERT_TRUE(link->open());
  }
  void run() { runPollLoop(*link, console, fake.clock, log); }
  std::string logFile() {
    const std::string& bytes = fake.files.contents["#Log.csv"];
    return platform::cp1251ToUtf8(bytes.data(), bytes.size());
  }
};

TEST_F(PollLoopTest, ShowsAReadingAboutEverySecondAndLogsEachOne) {
  scale.twoStep(fake.serial, kFrame);
  // A two-step poll takes 660 ms; two readings, then Esc in the third wait.
  console.pressKeyAt(1000 + 2 * (1008 + 660) + 100, 27);
  run();
  EXPECT_EQ(console.utf8(), "  AD, Ст[1,234] кг  AD, Ст[1,234] кг");
  // The clock starts at 1000 ms; the origin's 14:03:00 is at 0 ms.
  EXPECT_EQ(logFile(),
            "\"08.12.2026 14:03:02\";\"  AD, Ст[1,234] кг\";1,234\r\n"
            "\"08.12.2026 14:03:04\";\"  AD, Ст[1,234] кг\";1,234\r\n");
}

TEST_F(PollLoopTest, TheWaitIsTakenInTwentyFourMillisecondSteps) {
  console.pressKeyAt(1000 + 500, 27);
  run();
  const std::vector<std::uint32_t> steps(21, 24);  // Esc seen at the end of the 21st step
  EXPECT_EQ(fake.clock.sleeps(), steps);
  EXPECT_EQ(fake.clock.now(), 1000U + 21 * 24);
}

// However long each sleep runs, the steps keep to one schedule: 42 looks
// at the keyboard, the last at 1008 ms but for that sleep's own overshoot.
TEST(PollLoopSchedule, SleepsThatRunLongDoNotAddUp) {
  for (const std::uint32_t overshoot : {0U, 1U, 5U, 15U}) {
    SCOPED_TRACE(overshoot);
    testing::BasicFakeServices<testing::OversleepingClock> fake;
    fake.clock.overshootMs = overshoot;
    FakeConsole console(fake.clock);
    ScaleLink link(testing::serialLinkSettings(), fake.services);
    ASSERT_TRUE(link.open());
    RecordFile log(fake.files, "#Log.csv");
    const std::uint64_t start = fake.clock.now();
    console.interruptAt(start + 1100);  // while the first poll runs
    runPollLoop(link, console, fake.clock, log);
    ASSERT_EQ(console.keyLooks.size(), 42U);
    EXPECT_GE(console.keyLooks.back(), start + 1008);
    EXPECT_LE(console.keyLooks.back(), start + 1008 + overshoot);
  }
}

TEST_F(PollLoopTest, EscAtTheEndOfAPastedBurstActsInTheSameStep) {
  for (int key = 0; key < 500; ++key) console.pressKeyAt(1100, 'a');
  console.pressKeyAt(1100, 27);
  run();
  EXPECT_EQ(console.keysRead, 501);
  EXPECT_EQ(fake.clock.now(), 1000U + 5 * 24);
}

TEST_F(PollLoopTest, KeysThatNeverStopCannotHoldOffThePoll) {
  scale.twoStep(fake.serial, kFrame);
  for (int key = 0; key < 50000; ++key) console.pressKeyAt(1000, 'a');
  console.interruptAt(1000 + 1008 + 100);  // while the first poll runs
  run();
  EXPECT_EQ(console.keysRead, 42 * 1024);  // a bounded share in each step
  EXPECT_EQ(console.utf8(), "  AD, Ст[1,234] кг");
}

TEST_F(PollLoopTest, EscDuringAPollActsWithinOneStepAfterIt) {
  scale.twoStep(fake.serial, kFrame);
  const std::uint64_t pollEnds = 1000 + 1008 + 660;
  console.pressKeyAt(1000 + 1008 + 300, 27);  // while the poll runs
  run();
  EXPECT_EQ(fake.clock.now(), pollEnds + 24);
  EXPECT_EQ(console.utf8(), "  AD, Ст[1,234] кг");
}

TEST_F(PollLoopTest, OtherKeysAreConsumedAndIgnored) {
  scale.twoStep(fake.serial, kFrame);
  for (int key : {int{'a'}, 224, 72, 0, 59, 13}) console.pressKeyAt(1100, key);
  console.pressKeyAt(1000 + 1008 + 660 + 500, 27);
  run();
  EXPECT_EQ(console.keysRead, 7);
  EXPECT_EQ(console.utf8(), "  AD, Ст[1,234] кг");
}

TEST_F(PollLoopTest, FailedPollsShowTheLinksErrorAndTheLoopGoesOn) {
  console.pressKeyAt(1000 + 3 * (1008 + 1129) + 100, 27);  // three failed polls
  run();
  EXPECT_EQ(console.utf8(),
            " 110Нет данных от весов. 110Нет данных от весов. 110Нет данных от весов.");
  EXPECT_EQ(fake.files.contents.count("#Log.csv"), 0U);
}

TEST_F(PollLoopTest, AnInterruptEndsTheLoopLikeEsc) {
  console.interruptAt(1000 + 100);
  run();
  EXPECT_EQ(fake.clock.now(), 1000U + 5 * 24);
}

TEST_F(PollLoopTest, ATerminalGoneEndsTheLoopLikeEsc) {
  console.inputGoneAt(1000 + 100);
  run();
  EXPECT_EQ(fake.clock.now(), 1000U + 5 * 24);
}

TEST_F(PollLoopTest, RecordsWaitWhileTheLogIsLockedAndNoneIsLost) {
  scale.twoStep(fake.serial, kFrame);
  fake.files.unwritable.insert("#Log.csv");
  const std::uint64_t pass = 1008 + 660;
  // Unlocked while the third wait runs; Esc in the fourth.
  fake.clock.onAdvance([this, pass] {
    if (fake.clock.now() >= 1000 + 2 * pass + 500) fake.files.unwritable.clear();
  });
  console.pressKeyAt(1000 + 3 * pass + 500, 27);
  run();
  EXPECT_EQ(logFile(),
            "\"08.12.2026 14:03:02\";\"  AD, Ст[1,234] кг\";1,234\r\n"
            "\"08.12.2026 14:03:04\";\"  AD, Ст[1,234] кг\";1,234\r\n"
            "\"08.12.2026 14:03:06\";\"  AD, Ст[1,234] кг\";1,234\r\n");
  EXPECT_EQ(log.pendingCount(), 0U);
}

TEST(ProgramEnd, RecordsStillUnwrittenAreCountedInOneLine) {
  FakeServices fake;
  FakeConsole console(fake.clock);
  ScriptedScale().twoStep(fake.serial, kFrame);
  fake.files.unwritable = {"#Log.csv", "#DeviceIO"};
  console.typeLine("1");
  console.typeLine("com1");
  console.pressKeyAt(1000 + 2 * (1008 + 660) + 100, 27);
  testing::FakePortFacts ports;
  EXPECT_EQ(runDialog(console, fake.services, ports), 0);
  const std::string out = console.utf8();
  const std::string waits =
      ". Его записи ждут в памяти и будут дописаны, когда файл станет доступен.";
  EXPECT_NE(out.find("  AD, Ст[1,234] кг"
                     "\r\nФайл #Log.csv не записывается: нет прав на запись" +
                     waits + "\r\nФайл #DeviceIO не записывается: нет прав на запись" + waits +
                     "\r\n  AD, Ст[1,234] кг"
                     "\r\nФайл был недоступен, потеряно записей: #Log.csv - 2, #DeviceIO - 2."),
            std::string::npos)
      << out;
}

}  // namespace
}  // namespace scalecheck::console
