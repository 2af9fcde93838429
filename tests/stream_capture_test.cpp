#include "protocol/stream_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_services.h"

namespace scalecheck {
namespace {

using testing::FakeServices;
using testing::SerialCall;

const std::string kFrame18 = "ST,GS,+  1.234kg\r\n";
const std::string kFrame22 = "ST,GS,+    001.234kg\r\n";

std::string repeat(const std::string& frame, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += frame;
  return out;
}

class StreamCaptureTest : public ::testing::Test {
 protected:
  FakeServices fake;
  std::unique_ptr<ScaleLink> link;

  void openSerial() {
    link = std::make_unique<ScaleLink>(testing::serialLinkSettings(), fake.services);
    ASSERT_TRUE(link->open());
  }

  struct Capture {
    bool ok;
    std::string frame;
    std::uint64_t elapsed;
  };
  Capture capture() {
    std::uint8_t frame[64] = {};
    std::int32_t count = -1;
    const std::uint64_t start = fake.clock.now();
    const bool ok = captureStreamFrame(*link, frame, count);
    EXPECT_EQ(count, ok ? 21 : -1) << "count untouched on false";
    return {ok, ok ? std::string(reinterpret_cast<char*>(frame), 21) : "",
            fake.clock.now() - start};
  }
};

TEST_F(StreamCaptureTest, AQuietPortGivesUpAfterTwoHundredMilliseconds) {
  openSerial();
  const Capture result = capture();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.elapsed, 200U);
  EXPECT_EQ(link->lastError(), LinkError::kNone);
}

TEST_F(StreamCaptureTest, CutsTheTwentyOneBytesAfterTheFirstCrLf) {
  struct Case {
    const char* name;
    std::string stream;  // arriving one byte a millisecond from 50 ms on
    std::string frame;
  };
  const Case cases[] = {
      {"eighteen-byte frames", repeat(kFrame18, 4), kFrame18 + "ST,"},
      {"twenty-two-byte frames", repeat(kFrame22, 3), kFrame22.substr(0, 21)},
      {"starting on an LF", "\n" + repeat(kFrame22, 3), kFrame22.substr(0, 21)},
      {"CR LF first", "\r\n" + repeat(kFrame22, 2), kFrame22.substr(0, 21)},
      {"later CR LF pairs are ordinary bytes", "x\r\nA\r\nBCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd",
       "A\r\nBCDEFGHIJKLMNOPQRS"},
  };
  for (const Case& c : cases) {
    FakeServices f;
    ScaleLink l(testing::serialLinkSettings(), f.services);
    ASSERT_TRUE(l.open());
    f.serial.arriveAfter(50, c.stream, 1);
    std::uint8_t frame[21];
    std::int32_t count = 0;
    ASSERT_TRUE(captureStreamFrame(l, frame, count)) << c.name;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(frame), 21), c.frame) << c.name;
  }
}

TEST_F(StreamCaptureTest, AStaleQueueIsDiscardedAndFreshBytesAreCut) {
  openSerial();
  fake.serial.arriveAt(fake.clock.now(), "OLD" + repeat(kFrame18, 3));  // 57 bytes waiting
  fake.serial.arriveAfter(20, "\r\nfresh frame, 21 byt" + repeat("x", 30), 1);
  const Capture result = capture();
  EXPECT_EQ(fake.serial.purges.back(), platform::kPurgeRxClear);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.frame, "fresh frame, 21 bytxx");
}

// Stale data shows a scale that sends on its own: its next frame is waited
// for as a slow stream's, up to a second.
TEST_F(StreamCaptureTest, AfterADiscardNothingMoreArrivingFailsQuietly) {
  openSerial();
  fake.serial.arriveAt(fake.clock.now(), repeat("z", 50));
  const Capture result = capture();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(link->lastError(), LinkError::kNone);
  EXPECT_EQ(result.elapsed, 1000U) << "a stream's first-byte limit, from the capture's start";
}

TEST_F(StreamCaptureTest, FortyThreeBytesThenSilenceStillMakeAStretch) {
  openSerial();
  // The CR LF ends at 22: the frame runs to position 43, the NUL never sent.
  const std::string stream = repeat("a", 21) + "\r\n" + repeat("b", 20);
  fake.serial.arriveAfter(10, stream, 1);
  const Capture result = capture();
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.frame, repeat("b", 20) + std::string(1, '\0'));
}

TEST_F(StreamCaptureTest, DataWithoutAFrameRecordsCode11UnlessACodeIsPending) {
  struct Case {
    std::string stream;
    LinkError pending;
    LinkError after;
  };
  const Case cases[] = {
      {repeat("q", 44), LinkError::kNone, LinkError::kUnknownStream},
      {repeat("q", 44), LinkError::kNoData, LinkError::kNoData},
      {repeat("q", 22) + "\r\n" + repeat("q", 20), LinkError::kNone, LinkError::kUnknownStream},
      {repeat("q", 30), LinkError::kNone, LinkError::kNone},  // fewer than 43: no verdict
  };
  for (const Case& c : cases) {
    FakeServices f;
    ScaleLink l(testing::serialLinkSettings(), f.services);
    ASSERT_TRUE(l.open());
    l.setLastError(c.pending);
    f.serial.arriveAfter(10, c.stream, 1);
    std::uint8_t frame[21];
    std::int32_t count = 0;
    EXPECT_FALSE(captureStreamFrame(l, frame, count));
    EXPECT_EQ(l.lastError(), c.after) << c.stream.size();
  }
}

// A slow stream falls quiet between frames: the capture takes a whole frame
// (from a frame start to its line end, all text), never a piece of one nor
// garbage, and waits for the next frame when it began in the middle of one.
TEST_F(StreamCaptureTest, TakesTheNewestWholeFrameOfASlowStream) {
  struct Arrival {
    std::uint64_t atMs;
    std::string bytes;
    std::uint32_t spacingMs = 1;
  };
  struct Case {
    const char* name;
    std::vector<Arrival> arrivals;
    std::string frame;  // empty: none
  };
  const std::string frame = "S 2.5 kg\r\n";
  // Bytes that wait as the capture begins are dropped: the line was not
  // quiet, so what comes next may be the rest of a frame.
  const Arrival waiting{0, "kg"};
  const Case cases[] = {
      {"after a quiet line", {{50, frame}}, frame},
      {"a frame's rest, then the next", {waiting, {10, "1.234kg\r\n"}, {160, frame}}, frame},
      {"nothing after a frame's rest", {waiting, {10, "1.234kg\r\n"}}, ""},
      {"the newest of a burst", {{10, "S 1 kg\r\nS 2 kg\r\n"}}, "S 2 kg\r\n"},
      {"between line ends", {waiting, {10, "kg\r\n" + frame + "S 3"}}, frame},
      {"no line end", {{10, "S 2.5 kg"}}, ""},
      {"garbage between line ends", {waiting, {10, "\r\nS 2\x85 kg\r\n"}}, ""},
      // A quiet line is no frame start once a full stretch was dropped.
      {"a frame's rest after a drop",
       {{20, repeat("x", 50), 0}, {21, "2.5 kg\r\n"}, {400, frame}},
       frame},
  };
  for (const Case& c : cases) {
    FakeServices f;
    ScaleLink l(testing::serialLinkSettings(), f.services);
    ASSERT_TRUE(l.open());
    for (const Arrival& a : c.arrivals) f.serial.arriveAfter(a.atMs, a.bytes, a.spacingMs);
    std::uint8_t got[kStreamCaptureBytes] = {};
    std::int32_t count = 0;
    const bool ok = captureStreamFrame(l, got, count);
    EXPECT_EQ(ok ? std::string(reinterpret_cast<char*>(got), static_cast<std::size_t>(count)) : "",
              c.frame)
        << c.name;
    EXPECT_EQ(l.streamMemory().streaming, ok) << c.name;
    EXPECT_EQ(l.lastError(), LinkError::kNone) << c.name;
  }
}

TEST_F(StreamCaptureTest, AnEightyMillisecondGapEndsTheData) {
  openSerial();
  fake.serial.arriveAfter(10, repeat("r", 30), 1);
  fake.serial.arriveAfter(10 + 29 + 81, repeat("r", 20), 1);
  EXPECT_FALSE(capture().ok);
}

TEST_F(StreamCaptureTest, AFailingPortEndsTheCapture) {
  for (int skip = 0; skip < 4; ++skip) {
    FakeServices f;
    ScaleLink l(testing::serialLinkSettings(), f.services);
    ASSERT_TRUE(l.open());
    f.serial.arriveAfter(20, repeat(kFrame18, 4), 1);
    f.serial.failNext(SerialCall::kClearError, 1, skip);
    std::uint8_t frame[21];
    std::int32_t count = 0;
    EXPECT_FALSE(captureStreamFrame(l, frame, count)) << skip;
  }
  openSerial();
  fake.serial.failNext(SerialCall::kSetEventMask);
  EXPECT_FALSE(capture().ok);
}

class TcpStreamCaptureTest : public StreamCaptureTest {
 protected:
  void openTcp() {
    link = std::make_unique<ScaleLink>(testing::tcpLinkToServer(fake.network, "10.0.0.5", 4001),
                                       fake.services);
    ASSERT_TRUE(link->open());
  }
};

TEST_F(TcpStreamCaptureTest, AQuietPeerCostsAboutFiveHundredEightyMilliseconds) {
  openTcp();
  const Capture result = capture();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.elapsed, 128U + 152U + 300U);
}

TEST_F(TcpStreamCaptureTest, AStreamingPeerGivesItsFrame) {
  openTcp();
  fake.network.last().arriveAt(fake.clock.now() + 200, repeat(kFrame18, 4), 1);
  const Capture result = capture();
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.frame, kFrame18 + "ST,");
}

TEST_F(TcpStreamCaptureTest, BytesQueuedSinceTheLastPollAreDroppedAsStale) {
  openTcp();
  // A second of an old weight waits on the socket; the scale now shows 2.5.
  fake.network.last().arriveAt(fake.clock.now(), repeat("ST,GS,+  9.999kg\r\n", 55));
  fake.clock.advanceBy(1000);
  fake.network.last().arriveAt(fake.clock.now() + 128, repeat("ST,GS,+  2.500kg\r\n", 4), 1);
  const Capture result = capture();
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.frame, "ST,GS,+  2.500kg\r\nST,");
}

TEST_F(TcpStreamCaptureTest, APeerThatClosesEndsTheData) {
  openTcp();
  fake.network.last().arriveAt(fake.clock.now() + 10, repeat("s", 20), 1);
  fake.network.last().peerClosesAt = fake.clock.now() + 40;
  const Capture result = capture();
  EXPECT_FALSE(result.ok);
  EXPECT_LT(result.elapsed, 128U + 152U) << "ended by the close, not by a time limit";
}

TEST(StreamCaptureModes, AnotherModeReadsNothingForThreeHundredMilliseconds) {
  FakeServices fake;
  ScaleLink link(LinkSettings{}, fake.services);
  std::uint8_t frame[21];
  std::int32_t count = 0;
  EXPECT_FALSE(captureStreamFrame(link, frame, count));
  EXPECT_EQ(fake.clock.now(), 1000U + 300U);
}

}  // namespace
}  // namespace scalecheck
