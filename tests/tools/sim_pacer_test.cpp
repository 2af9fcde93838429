#include <gtest/gtest.h>

#include <string>

#include "line_pacer.h"

namespace scalecheck::sim {
namespace {

TEST(SimPacer, ByteEndsAreACharacterApartWithoutDrift) {
  // 10 bits (8N1) at 9600 baud: 1041666.67 ns a byte; 11 bits (8E1, 8N2):
  // 1145833.33 ns.
  EXPECT_EQ(LinePacer::byteEnd(0, 0, 9600, 10), 1041666);
  EXPECT_EQ(LinePacer::byteEnd(0, 1, 9600, 10), 2083333);
  EXPECT_EQ(LinePacer::byteEnd(0, 2, 9600, 10), 3125000);
  EXPECT_EQ(LinePacer::byteEnd(0, 9599, 9600, 10), 10 * kNanosPerSecond);
  EXPECT_EQ(LinePacer::byteEnd(500, 0, 115200, 10), 500 + 86805);
  EXPECT_EQ(LinePacer::byteEnd(0, 1, 9600, 11), 2291666);
  EXPECT_EQ(LinePacer::byteEnd(0, 9599, 9600, 11), 11 * kNanosPerSecond);
}

TEST(SimPacer, BytesLeaveOneByOneAtTheirDeadlines) {
  LinePacer pacer(9600, 10);
  pacer.enqueue(millis(20), "\x06OK", 0);
  EXPECT_EQ(pacer.nextDue(), millis(20) + 1041666);
  // Each character starts where the one before ended.
  EXPECT_EQ(pacer.pending()[0].start, millis(20));
  EXPECT_EQ(pacer.pending()[1].start, pacer.pending()[0].due);
  EXPECT_EQ(pacer.takeDue(millis(20) + 1041665), "");
  EXPECT_EQ(pacer.takeDue(millis(20) + 1041666), "\x06");
  EXPECT_EQ(pacer.nextDue(), millis(20) + 2083333);
  // A late wake-up hands out everything due, and no deadline moves.
  EXPECT_EQ(pacer.takeDue(millis(30)), "OK");
  EXPECT_TRUE(pacer.idle());
  EXPECT_FALSE(pacer.nextDue());
}

TEST(SimPacer, ABurstWaitsForTheLineAndFollowsWithoutAGap) {
  LinePacer pacer(9600, 10);
  pacer.enqueue(0, std::string(18, 'a'), 0);
  const Nanos frameEnd = LinePacer::byteEnd(0, 17, 9600, 10);
  EXPECT_EQ(pacer.lineFreeAt(0), frameEnd);
  // Asked to start earlier, the next burst continues the run.
  pacer.enqueue(millis(1), "b", 0);
  EXPECT_EQ(pacer.takeDue(frameEnd), std::string(18, 'a'));
  EXPECT_EQ(pacer.nextDue(), LinePacer::byteEnd(0, 18, 9600, 10));
}

TEST(SimPacer, ALongStreamKeepsExactTime) {
  for (const std::uint32_t bits : {10U, 11U}) {
    LinePacer pacer(9600, bits);
    Nanos now = 0;
    // Back-to-back frames, each queued when the previous has left.
    for (int frame = 0; frame < 16000; ++frame) {
      pacer.enqueue(pacer.lineFreeAt(now), std::string(18, 'x'), now);
      now = *pacer.nextDue() + Nanos{18} * 1145834;
      ASSERT_EQ(pacer.takeDue(now).size(), 18U);
    }
    // 288000 characters of 10 bits at 9600 baud are exactly 300 s.
    EXPECT_EQ(pacer.lineFreeAt(now), bits * 30 * kNanosPerSecond) << bits;
  }
}

TEST(SimPacer, AStalledLineStartsAgainAtThePresent) {
  LinePacer pacer(9600, 10);
  pacer.enqueue(0, "a", 0);
  EXPECT_EQ(pacer.takeDue(millis(2)), "a");
  // Woken a whole second late: no burst of catch-up bytes.
  EXPECT_EQ(pacer.lineFreeAt(millis(1000)), millis(1000));
  pacer.enqueue(0, "bc", millis(1000));
  EXPECT_EQ(pacer.nextDue(), millis(1000) + 1041666);
}

TEST(SimPacer, ClearDropsWhatHasNotLeft) {
  LinePacer pacer(9600, 10);
  pacer.enqueue(0, "abc", 0);
  EXPECT_EQ(pacer.takeDue(1041666), "a");
  pacer.clear();
  EXPECT_TRUE(pacer.idle());
  EXPECT_EQ(pacer.lineFreeAt(1041666), 1041666);
  pacer.enqueue(millis(5), "d", millis(2));
  EXPECT_EQ(pacer.nextDue(), millis(5) + 1041666);
}

}  // namespace
}  // namespace scalecheck::sim
