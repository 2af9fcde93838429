// The measurement log taken away during a run (a spreadsheet program holds
// it locked, a folder turns read-only): no reading may be lost or reordered,
// and what cannot be saved by the end is counted on the screen.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>

#include <string>
#include <vector>

#include "e2e/console_texts.h"
#include "e2e/data_files.h"
#include "e2e/scale_session.h"

namespace scalecheck::e2e {
namespace {

constexpr const char* kLog = "#Log.csv";

// Swaps the log with a directory of the same name in one step, and back:
// the program can then not open the log (CI runs as root, which file modes
// do not stop), and no append can slip in between as with a rename and a
// mkdir. mkdir, renameat2 RENAME_EXCHANGE: 0, or -1 with errno.
class LogBlocker {
 public:
  explicit LogBlocker(const ScratchDir& work) : work_(work) {}

  bool swap() {
    if (!made_) made_ = mkdir(work_.file("blocker").c_str(), 0755) == 0;
    return made_ && renameat2(AT_FDCWD, work_.file("blocker").c_str(), AT_FDCWD,
                              work_.file(kLog).c_str(), RENAME_EXCHANGE) == 0;
  }

 private:
  const ScratchDir& work_;
  bool made_ = false;
};

// Reading `index` (from 0) of a run in which the weight steps up by a gram
// after each reading, so that the log shows the order of the readings.
ShownReading readingAt(int index) {
  const std::string digit = std::to_string(index + 1);
  return ShownReading{kStreamTag + " Ст[1,00" + digit + "] кг", "1,00" + digit,
                      "ST,GS,+  1.00" + digit + "kg\r\nST,"};
}

std::vector<ShownReading> firstReadings(std::size_t count) {
  std::vector<ShownReading> readings;
  for (std::size_t index = 0; index < count; ++index) {
    readings.push_back(readingAt(static_cast<int>(index)));
  }
  return readings;
}

// Waits for reading `index` and sets the scale to the next weight at once,
// a second before the program asks again.
::testing::AssertionResult nextReading(ScaleSession& session, int index) {
  const std::string line = readingAt(index).line;
  if (!session.checker().waitFor(line)) {
    return ::testing::AssertionFailure() << "no " << line << " in\n" << session.checker().output();
  }
  if (!session.sim().command("weight 1.00" + std::to_string(index + 2))) {
    return ::testing::AssertionFailure() << "scale-sim refused the weight";
  }
  return ::testing::AssertionSuccess();
}

std::size_t recordsIn(const std::string& log) {
  std::size_t records = 0;
  for (std::size_t at = log.find("\r\n"); at != std::string::npos; at = log.find("\r\n", at + 2)) {
    ++records;
  }
  return records;
}

// The lines that say the log stopped taking records (a folder or a FIFO
// at its name), and that it takes them again.
const std::string kLogUnwritable =
    "\r\nФайл #Log.csv не записывается: под этим именем папка, канал или устройство, а не "
    "файл. Его записи ждут в памяти и будут дописаны, когда файл станет доступен.\r\n";
const std::string kLogWritableAgain =
    "\r\nФайл #Log.csv снова записывается, ожидавшие записи дописаны.\r\n";

// Takes each `line` out of `screen`; how many there were.
std::size_t takeOut(std::string& screen, const std::string& line) {
  std::size_t count = 0;
  for (std::size_t at = screen.find(line); at != std::string::npos; at = screen.find(line, at)) {
    screen.erase(at, line.size());
    ++count;
  }
  return count;
}

// What the screen shows after the dialog: exactly the readings given, each
// once, in order, then `tail` and the summary; in between, the log said
// unwritable `unwritable` times, and writable again `again` times.
::testing::AssertionResult screenShows(const ScaleSession& session,
                                       const std::vector<ShownReading>& readings,
                                       const std::string& tail, std::size_t unwritable,
                                       std::size_t again) {
  std::string expected;
  for (const ShownReading& reading : readings) expected += reading.line;
  expected += tail;
  std::string summary;
  std::string shown = session.shownBeforeSummary(summary);
  const std::size_t saidUnwritable = takeOut(shown, kLogUnwritable);
  const std::size_t saidAgain = takeOut(shown, kLogWritableAgain);
  if (shown != expected || saidUnwritable != unwritable || saidAgain != again ||
      summary != "\r\nОпросов: " + std::to_string(readings.size()) +
                     ", показаний: " + std::to_string(readings.size()) +
                     " (~22: " + std::to_string(readings.size()) + "), ошибок: 0.\r\n") {
    return ::testing::AssertionFailure()
           << "the screen shows\n"
           << session.afterDialog() << "\ninstead of\n"
           << expected << "\nwith the log said unwritable " << unwritable << " and writable again "
           << again << " times, and the summary";
  }
  return ::testing::AssertionSuccess();
}

TEST(UnwritableLog, RecordsWaitAndFollowInOrderOnceItIsBack) {
  constexpr std::size_t kReadings = 6;
  const time_t from = time(nullptr);
  ScaleSession session;
  ASSERT_TRUE(session.start({"--kind", "stream", "--weight", "1.001"}));
  LogBlocker blocker(session.work());
  ASSERT_TRUE(nextReading(session, 0));
  // Once the second reading shows, the first one's record is in the file.
  ASSERT_TRUE(nextReading(session, 1));
  ASSERT_TRUE(blocker.swap());
  ASSERT_TRUE(nextReading(session, 2));
  ASSERT_TRUE(nextReading(session, 3));
  ASSERT_TRUE(blocker.swap());
  ASSERT_TRUE(nextReading(session, 4));
  ASSERT_TRUE(nextReading(session, 5));
  ASSERT_TRUE(session.checker().type("\x1b"));
  EXPECT_EQ(session.checker().waitForExit().code, 0);
  const time_t to = time(nullptr);

  const std::vector<ShownReading> readings = firstReadings(kReadings);
  EXPECT_TRUE(screenShows(session, readings, "", 1, 1));
  EXPECT_TRUE(logHolds(session.work().read(kLog), readings, from, to));
  EXPECT_EQ(session.work().read("#DeviceIO"), dumpOf(readings));
}

TEST(UnwritableLog, RecordsStillWaitingAtTheEndAreCounted) {
  const time_t from = time(nullptr);
  ScaleSession session;
  ASSERT_TRUE(session.start({"--kind", "stream", "--weight", "1.001"}));
  LogBlocker blocker(session.work());
  ASSERT_TRUE(nextReading(session, 0));
  ASSERT_TRUE(nextReading(session, 1));
  ASSERT_TRUE(blocker.swap());
  ASSERT_TRUE(nextReading(session, 2));
  ASSERT_TRUE(session.checker().type("\x1b"));
  EXPECT_EQ(session.checker().waitForExit().code, 0);
  const time_t to = time(nullptr);

  // The second record went to the file or waited, depending on where the
  // swap fell; the log, put back in its place, tells which.
  ASSERT_TRUE(blocker.swap());
  const std::string log = session.work().read(kLog);
  const std::size_t records = recordsIn(log);
  ASSERT_TRUE(records == 1 || records == 2) << log;
  EXPECT_TRUE(logHolds(log, firstReadings(records), from, to));
  EXPECT_TRUE(screenShows(session, firstReadings(3), recordsLost(kLog, 3 - records), 1, 0));
}

// A FIFO at the log's name that nothing reads: opening it to write would
// wait for a reader for ever. It is refused like an unwritable file, and
// the run goes on and ends as usual.
TEST(UnwritableLog, AFifoAtItsNameIsRefusedWithoutWaiting) {
  ScaleSession session;
  // mkfifo: 0, or -1 with errno.
  ASSERT_EQ(mkfifo(session.work().file(kLog).c_str(), 0666), 0);
  ASSERT_TRUE(session.start({"--kind", "stream", "--weight", "1.001"}));
  ASSERT_TRUE(nextReading(session, 0));
  ASSERT_TRUE(nextReading(session, 1));
  ASSERT_TRUE(session.checker().type("\x1b"));
  EXPECT_EQ(session.checker().waitForExit().code, 0);

  EXPECT_TRUE(screenShows(session, firstReadings(2), recordsLost(kLog, 2), 1, 0));
  EXPECT_EQ(session.work().read("#DeviceIO"), dumpOf(firstReadings(2)));
  struct stat log {};
  EXPECT_TRUE(stat(session.work().file(kLog).c_str(), &log) == 0 && S_ISFIFO(log.st_mode));
}

}  // namespace
}  // namespace scalecheck::e2e
