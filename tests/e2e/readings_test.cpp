// The program against scale-sim, end to end: answers typed into its
// terminal, readings on the screen, and the two data files it leaves.

#include <gtest/gtest.h>
#include <time.h>

#include <ostream>
#include <string>
#include <vector>

#include "e2e/console_texts.h"
#include "e2e/data_files.h"
#include "e2e/scale_session.h"

namespace scalecheck::e2e {
namespace {

// What the simulated scale shows, and how the program must show and keep it.
struct ScaleShowing {
  std::vector<std::string> commands;  // scale-sim commands that set it up
  std::string frame;                  // one frame as scale-sim sends it
  std::string reading;                // stability, weight and unit on the screen
  std::string weightText;             // the log's weight field
};

const ScaleShowing kStableKilograms{{}, "ST,GS,+  1.234kg\r\n", " Ст[1,234] кг", "1,234"};
const ScaleShowing kUnstableNegativeGrams{
    {"weight -0.5", "unit g", "unstable"}, "US,GS,-  0.500 g\r\n", " нСт[-0,500] г", "-0,500"};

struct Kind {
  const char* name;
  const char* simKind;
  std::string modeTag;
  bool streams;
  // Option 2 (7E1, the RLV model). A pseudo-terminal keeps 8 data bits and
  // no parity whatever it is told, so the scale there stays 8N1 (a 7E1
  // scale would reach an 8N1 UART); the settings must still be taken, also
  // when the terminal already holds them.
  bool rlv = false;
};

// Names the row in failure messages (instead of its bytes).
void PrintTo(const Kind& row, std::ostream* out) {
  *out << row.name;
}

ShownReading shown(const Kind& kind, const ScaleShowing& scale) {
  // A stream frame is cut as the 21 bytes after a CR LF: one whole frame
  // and the start of the next. A reply is kept as it came.
  const std::string frame = kind.streams ? (scale.frame + scale.frame).substr(0, 21) : scale.frame;
  return ShownReading{kind.modeTag + scale.reading, scale.weightText, frame};
}

// The readings in `pieces`, in order, as `known` describes them.
std::vector<ShownReading> readingsIn(const std::vector<std::string>& pieces,
                                     const std::vector<ShownReading>& known) {
  std::vector<ShownReading> readings;
  for (const std::string& piece : pieces) {
    for (const ShownReading& reading : known) {
      if (reading.line == piece) readings.push_back(reading);
    }
  }
  return readings;
}

class EachKind : public ::testing::TestWithParam<Kind> {};

// Every change to the scale is made right after a reading shows: the
// program then waits a second before it asks again, so each poll sees one
// state of the scale only, and the screen a fixed order of readings.
TEST_P(EachKind, ShowsLogsAndDumpsItsReadings) {
  const Kind& kind = GetParam();
  const time_t from = time(nullptr);
  ScaleSession session;
  ASSERT_TRUE(session.start({"--kind", kind.simKind}, kind.rlv ? "2" : "1"));
  CheckerProcess& checker = session.checker();
  const ShownReading first = shown(kind, kStableKilograms);
  const ShownReading second = shown(kind, kUnstableNegativeGrams);

  ASSERT_TRUE(checker.waitFor(first.line)) << checker.output();
  ASSERT_TRUE(session.sim().commands(kUnstableNegativeGrams.commands));
  ASSERT_TRUE(checker.waitFor(second.line)) << checker.output();
  ASSERT_TRUE(checker.type("\x1b"));
  const harness::ExitStatus status = checker.waitForExit();
  const time_t to = time(nullptr);
  EXPECT_TRUE(status.exited) << "signal " << status.signal;
  EXPECT_EQ(status.code, 0);

  // The screen holds the dialog, then readings and nothing else: no echo
  // of Esc, no line breaks between readings.
  std::vector<std::string> pieces;
  ASSERT_TRUE(session.shownAsPieces({first.line, second.line}, pieces));
  EXPECT_EQ(withoutRepeats(pieces), (std::vector<std::string>{first.line, second.line}));

  const std::vector<ShownReading> readings = readingsIn(pieces, {first, second});
  EXPECT_TRUE(logHolds(session.work().read("#Log.csv"), readings, from, to));
  EXPECT_EQ(session.work().read("#DeviceIO"), dumpOf(readings));
}

INSTANTIATE_TEST_SUITE_P(Scales, EachKind,
                         ::testing::Values(Kind{"Stream", "stream", kStreamTag, true},
                                           Kind{"TwoStep", "two-step", kTwoStepTag, false},
                                           Kind{"Combined", "combined", kCombinedTag, false},
                                           Kind{"TwoStepRlv", "two-step", kTwoStepTag, false,
                                                true}),
                         [](const ::testing::TestParamInfo<Kind>& row) { return row.param.name; });

const Kind kStream{"Stream", "stream", kStreamTag, true};

// A scale that falls silent shows as an error line, not as the end of the
// run; when it talks again, so do the readings. Failed polls are not logged.
TEST(QuietScale, ShowsNoDataThenReadingsAgain) {
  const time_t from = time(nullptr);
  ScaleSession session;
  ASSERT_TRUE(session.start({"--kind", "stream"}));
  CheckerProcess& checker = session.checker();
  const ShownReading reading = shown(kStream, kStableKilograms);

  ASSERT_TRUE(checker.waitFor(reading.line)) << checker.output();
  ASSERT_TRUE(session.sim().command("pause"));
  ASSERT_TRUE(checker.waitFor(kNoData)) << checker.output();
  ASSERT_TRUE(session.sim().command("resume"));
  ASSERT_TRUE(checker.waitFor(reading.line)) << checker.output();
  ASSERT_TRUE(checker.type("\x1b"));
  EXPECT_EQ(checker.waitForExit().code, 0);
  const time_t to = time(nullptr);

  std::vector<std::string> pieces;
  ASSERT_TRUE(session.shownAsPieces({reading.line, kNoData}, pieces));
  EXPECT_EQ(withoutRepeats(pieces),
            (std::vector<std::string>{reading.line, kNoData, reading.line}));
  const std::vector<ShownReading> readings = readingsIn(pieces, {reading});
  EXPECT_TRUE(logHolds(session.work().read("#Log.csv"), readings, from, to));
  EXPECT_EQ(session.work().read("#DeviceIO"), dumpOf(readings));
}

// Data that never holds a frame (wrong line settings, another device) is
// told apart from silence, poll after poll, and nothing is stored.
TEST(UnknownStream, ShowsUnknownDataAndStoresNothing) {
  ScaleSession session;
  ASSERT_TRUE(session.start({"--kind", "stream", "--fault", "garbage"}));
  CheckerProcess& checker = session.checker();
  ASSERT_TRUE(checker.waitFor(kUnknownStream)) << checker.output();
  ASSERT_TRUE(checker.waitFor(kUnknownStream)) << checker.output();
  ASSERT_TRUE(checker.type("\x1b"));
  EXPECT_EQ(checker.waitForExit().code, 0);

  std::vector<std::string> pieces;
  ASSERT_TRUE(session.shownAsPieces({kUnknownStream}, pieces));
  EXPECT_GE(pieces.size(), 2U);
  EXPECT_FALSE(session.work().exists("#Log.csv"));
  EXPECT_FALSE(session.work().exists("#DeviceIO"));
}

}  // namespace
}  // namespace scalecheck::e2e
