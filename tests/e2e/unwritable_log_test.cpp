// The measurement log taken away during a run (a spreadsheet program holds
// it locked, a folder turns read-only): no reading may be lost or reordered,
// and what cannot be saved by the end is counted on the screen.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>

#include <fstream>
#include <map>
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
// mkdir.
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

// A streaming scale whose weight steps up by a gram at each frame, from
// 1.000 to 1.999 kg and round again (about 19 s): each poll catches a frame
// the one before did not, and the log shows the order of the readings,
// however the polls and the test's steps fall in time.
std::vector<std::string> gramDigits() {
  std::vector<std::string> digits;
  for (int grams = 1000; grams < 2000; ++grams) digits.push_back(std::to_string(grams).substr(1));
  return digits;
}

std::string frameOf(const std::string& grams) {
  return "ST,GS,+  1." + grams + "kg";
}

::testing::AssertionResult startSteppingScale(ScaleSession& session) {
  const std::string frames = session.work().file("frames.txt");
  std::ofstream file(frames);
  for (const std::string& grams : gramDigits()) file << frameOf(grams) << "\\r\\n\n";
  file.close();
  if (!file) return ::testing::AssertionFailure() << "cannot write " << frames;
  return session.start({"--kind", "stream", "--frames", frames});
}

// Every reading the program may show for such a scale, by its line: a
// stream frame is the 21 bytes after a CR LF, so the start of the next
// frame comes with each.
const std::map<std::string, ShownReading>& everyReading() {
  static const std::map<std::string, ShownReading> readings = [] {
    std::map<std::string, ShownReading> all;
    for (const std::string& grams : gramDigits()) {
      const std::string line = kStreamTag + " Ст[1," + grams + "] кг";
      all[line] = ShownReading{line, "1," + grams, frameOf(grams) + "\r\nST,"};
    }
    return all;
  }();
  return readings;
}

// How many readings the run showed.
std::size_t readingsShown(const ScaleSession& session) {
  const std::string screen = session.afterDialog();
  std::size_t count = 0;
  for (std::size_t at = screen.find(kStreamTag); at != std::string::npos;
       at = screen.find(kStreamTag, at + kStreamTag.size())) {
    ++count;
  }
  return count;
}

void endWithEsc(ScaleSession& session) {
  ASSERT_TRUE(session.checker().type("\x1b"));
  EXPECT_EQ(session.checker().waitForExit().code, 0);
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

// What the screen shows after the dialog: polls, then `tail` and the
// summary of those polls; in between, the log said unwritable
// `unwritable` times and writable again `again` times. Sets `readings` to
// the readings shown.
::testing::AssertionResult screenShows(const ScaleSession& session, const std::string& tail,
                                       std::size_t unwritable, std::size_t again,
                                       std::vector<ShownReading>& readings) {
  std::string summary;
  std::string shown = session.shownBeforeSummary(summary);
  const std::size_t saidUnwritable = takeOut(shown, kLogUnwritable);
  const std::size_t saidAgain = takeOut(shown, kLogWritableAgain);
  // A poll may also fail on a machine loaded past its cores (the stream's
  // bytes came later than the checker waits for them); it leaves the log
  // alone.
  std::vector<std::string> known{kNoData, kUnknownStream};
  for (const auto& [line, reading] : everyReading()) known.push_back(line);
  std::vector<std::string> pieces;
  std::string rest;
  cutIntoPieces(shown, known, pieces, rest);
  readings.clear();
  for (const std::string& piece : pieces) {
    const auto reading = everyReading().find(piece);
    if (reading != everyReading().end()) readings.push_back(reading->second);
  }
  if (readings.empty() || rest != tail || saidUnwritable != unwritable || saidAgain != again ||
      summary.rfind(summaryStart(pieces), 0) != 0) {
    return ::testing::AssertionFailure()
           << "the screen shows\n"
           << session.afterDialog() << "\nnot polls, then " << ::testing::PrintToString(tail)
           << ", with the log said unwritable " << unwritable << " and writable again " << again
           << " times, and their summary";
  }
  return ::testing::AssertionSuccess();
}

// Each step waits for what the program says, not for a number of polls.
TEST(UnwritableLog, RecordsWaitAndFollowInOrderOnceItIsBack) {
  const time_t from = time(nullptr);
  ScaleSession session;
  ASSERT_TRUE(startSteppingScale(session));
  CheckerProcess& checker = session.checker();
  LogBlocker blocker(session.work());
  // Once the second reading shows, the first one's record is in the file.
  ASSERT_TRUE(checker.waitFor(kStreamTag) && checker.waitFor(kStreamTag)) << checker.output();
  ASSERT_TRUE(blocker.swap());
  ASSERT_TRUE(checker.waitFor(kLogUnwritable)) << checker.output();
  ASSERT_TRUE(blocker.swap());
  ASSERT_TRUE(checker.waitFor(kLogWritableAgain)) << checker.output();
  ASSERT_TRUE(checker.waitFor(kStreamTag)) << checker.output();
  endWithEsc(session);
  const time_t to = time(nullptr);

  std::vector<ShownReading> readings;
  EXPECT_TRUE(screenShows(session, "", 1, 1, readings));
  EXPECT_TRUE(logHolds(session.work().read(kLog), readings, from, to));
  EXPECT_EQ(session.work().read("#DeviceIO"), dumpOf(readings));
}

TEST(UnwritableLog, RecordsStillWaitingAtTheEndAreCounted) {
  const time_t from = time(nullptr);
  ScaleSession session;
  ASSERT_TRUE(startSteppingScale(session));
  CheckerProcess& checker = session.checker();
  LogBlocker blocker(session.work());
  ASSERT_TRUE(checker.waitFor(kStreamTag) && checker.waitFor(kStreamTag)) << checker.output();
  ASSERT_TRUE(blocker.swap());
  ASSERT_TRUE(checker.waitFor(kLogUnwritable)) << checker.output();
  endWithEsc(session);
  const time_t to = time(nullptr);

  // The records up to the swap went to the file, the rest waited; the log,
  // put back in its place, tells how many did which.
  ASSERT_TRUE(blocker.swap());
  const std::string log = session.work().read(kLog);
  const std::size_t records = recordsIn(log);
  std::vector<ShownReading> readings;
  const std::size_t shown = readingsShown(session);
  ASSERT_TRUE(records >= 1 && records < shown) << log;
  EXPECT_TRUE(screenShows(session, recordsLost(kLog, shown - records), 1, 0, readings));
  readings.resize(records);
  EXPECT_TRUE(logHolds(log, readings, from, to));
}

// A FIFO at the log's name that nothing reads: opening it to write would
// wait for a reader for ever. It is refused like an unwritable file, and
// the run goes on and ends as usual.
TEST(UnwritableLog, AFifoAtItsNameIsRefusedWithoutWaiting) {
  ScaleSession session;
  ASSERT_EQ(mkfifo(session.work().file(kLog).c_str(), 0666), 0);
  ASSERT_TRUE(startSteppingScale(session));
  CheckerProcess& checker = session.checker();
  ASSERT_TRUE(checker.waitFor(kLogUnwritable)) << checker.output();
  ASSERT_TRUE(checker.waitFor(kStreamTag)) << checker.output();
  endWithEsc(session);

  const std::size_t shown = readingsShown(session);
  std::vector<ShownReading> readings;
  EXPECT_TRUE(screenShows(session, recordsLost(kLog, shown), 1, 0, readings));
  EXPECT_EQ(session.work().read("#DeviceIO"), dumpOf(readings));
  struct stat log {};
  EXPECT_TRUE(stat(session.work().file(kLog).c_str(), &log) == 0 && S_ISFIFO(log.st_mode));
}

}  // namespace
}  // namespace scalecheck::e2e
