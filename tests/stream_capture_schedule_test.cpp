// The capture's waits keep to their schedule when sleeps run long, as they
// do on a busy machine, and do not wake every millisecond while nothing
// comes.

#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_services.h"
#include "fakes/oversleeping_clock.h"
#include "protocol/stream_capture.h"

namespace scalecheck {
namespace {

using testing::OversleepingClock;  // every sleep runs 1 ms past its time
using testing::VirtualClock;

template <typename Clock>
using Services = testing::BasicFakeServices<Clock>;

LinkSettings serialSettings() {
  return testing::serialLinkSettings();
}

template <typename Clock>
LinkSettings tcpSettings(Services<Clock>& fake) {
  return testing::tcpLinkToServer(fake.network, "10.0.0.5", 4001);
}

// Virtual milliseconds one capture took, and whether it found a frame.
struct Outcome {
  bool ok;
  std::uint64_t elapsed;
};

Outcome captureOn(ScaleLink& link, VirtualClock& clock) {
  std::uint8_t frame[21];
  std::int32_t count = 0;
  const std::uint64_t start = clock.now();
  const bool ok = captureStreamFrame(link, frame, count);
  return {ok, clock.now() - start};
}

const std::string kFrames = "ST,GS,+  1.234kg\r\nST,GS,+  1.234kg\r\nST,GS,+  1.234kg\r\n";

TEST(StreamCaptureSchedule, AQuietLineEndsAtTwoHundredMillisecondsThoughEverySleepRunsLong) {
  Services<OversleepingClock> fake;
  ScaleLink link(serialSettings(), fake.services);
  ASSERT_TRUE(link.open());
  const Outcome outcome = captureOn(link, fake.clock);
  EXPECT_FALSE(outcome.ok);
  // Adding up 8 ms sleeps that each take 9 would end only at 207.
  EXPECT_GE(outcome.elapsed, 200U);
  EXPECT_LE(outcome.elapsed, 201U);
}

TEST(StreamCaptureSchedule, AWaitingStreamIsReadAtAByteAMillisecondThoughEverySleepRunsLong) {
  Services<OversleepingClock> fake;
  ScaleLink link(tcpSettings(fake), fake.services);
  ASSERT_TRUE(link.open());
  // One capture's worth arrives as the capture begins (more, or any that
  // had waited before it, would be dropped as stale).
  fake.network.last().arriveAt(fake.clock.now() + 1, kFrames.substr(0, 44));
  const Outcome outcome = captureOn(link, fake.clock);
  ASSERT_TRUE(outcome.ok);
  // The 128 ms settle (one sleep, 1 ms long), then 44 cycles: not 44 x 2 ms.
  EXPECT_LE(outcome.elapsed, 129U + 44U + 1U);
}

TEST(StreamCaptureSchedule, WaitingForAFirstByteDoesNotWakeEveryMillisecond) {
  Services<VirtualClock> fake;
  ScaleLink link(tcpSettings(fake), fake.services);
  ASSERT_TRUE(link.open());
  const std::size_t sleepsBefore = fake.clock.sleeps().size();
  const Outcome outcome = captureOn(link, fake.clock);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.elapsed, 128U + 152U + 300U);
  // A sleep a millisecond for 300 ms would cost a real machine 300 wake-ups.
  EXPECT_LT(fake.clock.sleeps().size() - sleepsBefore, 10U);
}

}  // namespace
}  // namespace scalecheck
