#include "protocol/acquisition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "fakes/fake_services.h"
#include "fakes/scripted_scales.h"

namespace scalecheck {
namespace {

using testing::FakeServices;
using testing::kAck;
using testing::kNak;
using testing::ScriptedScale;

const std::string kFrame = "ST,GS,+  1.234kg\r\n";

class AcquisitionTest : public ::testing::Test {
 protected:
  FakeServices fake;
  ScaleLink link{serialSettings(), fake.services};
  ScriptedScale scale;

  static LinkSettings serialSettings() { return testing::serialLinkSettings(); }
  void SetUp() override { ASSERT_TRUE(link.open()); }
  std::string dump() { return fake.files.contents["#DeviceIO"]; }
};

TEST_F(AcquisitionTest, AStreamingScaleIsNeverAsked) {
  ScriptedScale::stream(fake.serial, kFrame);
  WeightReading reading;
  ASSERT_TRUE(pollReading(link, reading));
  EXPECT_EQ(reading.valid, 1);
  EXPECT_EQ(reading.acquisitionMode, AcquisitionMode::kStream);
  EXPECT_FLOAT_EQ(reading.weight, 1.234F);
  EXPECT_STREQ(reading.weightText, "1,234");
  EXPECT_EQ(fake.serial.written, "");
  EXPECT_EQ(dump(), "ST,GS,+  1.234kg\r\r\nST,") << "LF stored as CR LF";
  EXPECT_EQ(link.lastReading().acquisitionMode, AcquisitionMode::kStream);
}

TEST_F(AcquisitionTest, StreamedFramesThatDoNotParseFailWithoutAsking) {
  ScriptedScale::stream(fake.serial, "SS,NN,+  1.234  \r\n");  // no unit letter anywhere
  WeightReading reading;
  reading.valid = 5;
  EXPECT_FALSE(pollReading(link, reading));
  EXPECT_EQ(reading.valid, 5) << "out untouched";
  EXPECT_EQ(fake.serial.written, "");
  EXPECT_EQ(link.lastError(), LinkError::kNoData);
  EXPECT_EQ(link.lastReading().valid, 0);
  EXPECT_EQ(fake.files.contents.count("#DeviceIO"), 0U);
}

TEST_F(AcquisitionTest, ATwoStepScaleAnswersEnqWithAckThenDc1WithAFrame) {
  scale.twoStep(fake.serial, kFrame);
  WeightReading reading;
  const std::uint64_t start = fake.clock.now();
  ASSERT_TRUE(pollReading(link, reading));
  EXPECT_EQ(reading.acquisitionMode, AcquisitionMode::kTwoStep);
  EXPECT_EQ(fake.serial.written, "\x05\x11");
  EXPECT_EQ(dump(), "ST,GS,+  1.234kg\r\r\n");
  // 200 quiet, ENQ leaves (2), 128, the ACK already waits, 80 gap, DC1
  // leaves (2), 168, the 18-byte frame already waits, 80 gap.
  EXPECT_EQ(fake.clock.now() - start, 200U + 2 + 128 + 80 + 2 + 168 + 80);
}

// A poll limited to listening asks nothing; one limited to asking does not
// spend the 200 ms of listening first.
TEST(PollWays, ListeningOnlyOrAskingOnly) {
  const struct {
    PollWays ways;
    bool streams;
    AcquisitionMode mode;  // kNone: no reading
    const char* written;
    std::uint64_t ms;
  } cases[] = {
      {PollWays::kStreamOnly, false, AcquisitionMode::kNone, "", 200},
      {PollWays::kStreamOnly, true, AcquisitionMode::kStream, "", 8 + 44},
      {PollWays::kRequestsOnly, false, AcquisitionMode::kTwoStep, "\x05\x11",
       2 + 128 + 80 + 2 + 168 + 80},
  };
  for (const auto& row : cases) {
    FakeServices fake;
    ScaleLink link(testing::serialLinkSettings(), fake.services);
    ASSERT_TRUE(link.open());
    if (row.streams) {
      ScriptedScale::stream(fake.serial, kFrame);
    } else {
      ScriptedScale().twoStep(fake.serial, kFrame);
    }
    WeightReading reading;
    PollReport report;
    const std::uint64_t start = fake.clock.now();
    EXPECT_EQ(pollReading(link, reading, report, row.ways), row.mode != AcquisitionMode::kNone);
    EXPECT_EQ(report.mode, row.mode);
    EXPECT_EQ(fake.serial.written, row.written);
    EXPECT_EQ(fake.clock.now() - start, row.ms);
  }
}

TEST_F(AcquisitionTest, AnythingButASingleAckFallsThroughToTheCombinedRequest) {
  const std::string answers[] = {std::string(1, kNak), std::string{kAck, kAck}, ""};
  for (const std::string& answer : answers) {
    FakeServices f;
    ScaleLink l(serialSettings(), f.services);
    ASSERT_TRUE(l.open());
    // Answers a lone ENQ with `answer` and ENQ DC1 with a frame.
    f.serial.onWrite = [&f, answer](const std::string& written) {
      if (written == "\x05" && !answer.empty()) f.serial.arriveAfter(10, answer, 1);
      if (written == std::string("\x05\x11")) f.serial.arriveAfter(10, kFrame, 1);
    };
    WeightReading reading;
    ASSERT_TRUE(pollReading(l, reading)) << answer.size();
    EXPECT_EQ(reading.acquisitionMode, AcquisitionMode::kCombined);
    EXPECT_EQ(f.serial.written, std::string("\x05\x05\x11"));
  }
}

TEST_F(AcquisitionTest, ACombinedScaleIsReadWhenTheTwoStepRequestGetsNoAnswer) {
  scale.combined(fake.serial, kFrame);
  WeightReading reading;
  ASSERT_TRUE(pollReading(link, reading));
  EXPECT_EQ(reading.acquisitionMode, AcquisitionMode::kCombined);
  EXPECT_EQ(reading.unit, WeightUnit::kKilogram);
}

TEST_F(AcquisitionTest, ACombinedReplyOfTenBytesFailsThePoll) {
  scale.combined(fake.serial, "S 1.5 kg\r\n");  // would parse, but is 10 bytes
  WeightReading reading;
  EXPECT_FALSE(pollReading(link, reading));
  EXPECT_EQ(link.lastError(), LinkError::kNoData);
  scale.combined(fake.serial, "S 1.5 kg \r\n");  // 11 bytes
  EXPECT_TRUE(pollReading(link, reading));
  EXPECT_EQ(link.lastError(), LinkError::kNone) << "success clears code 10";
}

TEST_F(AcquisitionTest, TheDumpStopsAtANulWhileTheParseScansPastIt) {
  scale.twoStep(fake.serial, std::string("S 5\0kg\r\n", 8));
  WeightReading reading;
  ASSERT_TRUE(pollReading(link, reading));
  EXPECT_FLOAT_EQ(reading.weight, 5.0F);
  EXPECT_EQ(dump(), "S 5");
}

TEST_F(AcquisitionTest, SuccessiveFramesRunTogetherInTheDump) {
  scale.twoStep(fake.serial, "S 1 kg\r\n");
  WeightReading reading;
  ASSERT_TRUE(pollReading(link, reading));
  scale.twoStep(fake.serial, "U 2 kg\r\n");
  ASSERT_TRUE(pollReading(link, reading));
  EXPECT_EQ(dump(), "S 1 kg\r\r\nU 2 kg\r\r\n");
}

// Codes 10 and 11 say why one poll failed: garbage once, silence later
// shows 110 then, not the garbage's 111 for the rest of the run.
TEST_F(AcquisitionTest, EachFailedPollShowsItsOwnCause) {
  fake.serial.arriveAfter(20, std::string(44, 'q'), 1);  // 44 bytes with no CR LF
  WeightReading reading;
  EXPECT_FALSE(pollReading(link, reading));
  EXPECT_EQ(link.lastError(), LinkError::kUnknownStream);
  EXPECT_FALSE(pollReading(link, reading));
  EXPECT_EQ(link.lastError(), LinkError::kNoData) << "silent now";
  fake.serial.arriveAfter(20, std::string(44, 'q'), 1);
  EXPECT_FALSE(pollReading(link, reading));
  scale.twoStep(fake.serial, kFrame);
  ASSERT_TRUE(pollReading(link, reading));
  EXPECT_EQ(link.lastError(), LinkError::kNone);
  link.setLastError(LinkError::kWeighingBlocked);
  ASSERT_TRUE(pollReading(link, reading));
  EXPECT_EQ(link.lastError(), LinkError::kWeighingBlocked) << "other codes keep their rules";
}

TEST_F(AcquisitionTest, AFailedPollClearsTheLastReading) {
  scale.twoStep(fake.serial, kFrame);
  WeightReading reading;
  ASSERT_TRUE(pollReading(link, reading));
  EXPECT_EQ(link.lastReading().valid, 1);
  fake.serial.onWrite = nullptr;
  EXPECT_FALSE(pollReading(link, reading));
  EXPECT_EQ(link.lastReading().valid, 0);
  EXPECT_STREQ(link.lastReading().weightText, "");
  EXPECT_EQ(reading.valid, 1) << "out keeps the previous reading";
}

TEST_F(AcquisitionTest, DumpBlocksWaitWhileTheFileCannotBeWritten) {
  scale.twoStep(fake.serial, "S 1 kg\r\n");
  fake.files.unwritable.insert("#DeviceIO");
  WeightReading reading;
  ASSERT_TRUE(pollReading(link, reading)) << "the poll still succeeds";
  ASSERT_TRUE(pollReading(link, reading));
  EXPECT_EQ(link.deviceDump().pendingCount(), 2U);
  fake.files.unwritable.clear();
  scale.twoStep(fake.serial, "U 2 kg\r\n");
  ASSERT_TRUE(pollReading(link, reading));
  EXPECT_EQ(dump(), "S 1 kg\r\r\nS 1 kg\r\r\nU 2 kg\r\r\n") << "nothing lost, order kept";
  EXPECT_EQ(link.deviceDump().pendingCount(), 0U);
}

// Every byte that crosses the link is shown to an observer, as it passes:
// what a trace of the traffic is made from.
TEST_F(AcquisitionTest, TheTrafficObserverSeesEveryByteBothWays) {
  struct Recorder : TrafficObserver {
    std::string log;
    void sent(const std::uint8_t* bytes, std::size_t length) override {
      log += ">" + std::string(reinterpret_cast<const char*>(bytes), length);
    }
    void received(const std::uint8_t* bytes, std::size_t length) override {
      log += "<" + std::string(reinterpret_cast<const char*>(bytes), length);
    }
  } recorder;
  link.observeTraffic(&recorder);
  scale.twoStep(fake.serial, "S 1 kg\r\n");
  WeightReading reading;
  ASSERT_TRUE(pollReading(link, reading));
  EXPECT_EQ(recorder.log, ">\x05<\x06>\x11<S< <1< <k<g<\r<\n");
  link.observeTraffic(nullptr);
}

// A failed poll says why, from what it heard; codes stay as they were.
TEST(PollCauses, EachFailedPollSaysWhatItHeard) {
  using C = PollCause;
  using R = FrameRejection;
  struct Case {
    const char* name;
    std::function<void(FakeServices&)> scale;
    PollCause cause;
    FrameRejection rejection = R::kNone;
    bool tcp = false;
    bool opened = true;
    LinkError code = LinkError::kNoData;  // the code shown, as ever
  };
  const ScriptedScale answering;
  const std::string nak(1, kNak);
  const Case cases[] = {
      {"silent", [](FakeServices&) {}, C::kSilence},
      {"refusing", [&](FakeServices& f) { answering.twoStep(f.serial, kFrame, nak); }, C::kNak},
      {"acknowledging only",
       [&](FakeServices& f) { answering.twoStep(f.serial, "", std::string(1, kAck)); },
       C::kAckWithoutFrame},
      {"at another rate",
       [&](FakeServices& f) { answering.twoStep(f.serial, "\xF8\x80\xFE", "\xE0\x1C"); },
       C::kBytesWithoutFrame},
      {"too short", [&](FakeServices& f) { answering.combined(f.serial, "S 1.5 kg\r\n"); },
       C::kFrameRejected, R::kTooShort},
      {"asked, without a unit",
       [&](FakeServices& f) { answering.twoStep(f.serial, "ST,GS,+  1.234  \r\n"); },
       C::kFrameRejected, R::kNoUnit},
      {"streaming, without a unit",
       [](FakeServices& f) { ScriptedScale::stream(f.serial, "SS,NN,+  1.234  \r\n"); },
       C::kFrameRejected, R::kNoUnit},
      {"streaming text without a frame",
       [](FakeServices& f) { f.serial.arriveAfter(20, std::string(44, 'q'), 1); },
       C::kFrameRejected, R::kNoNumber, false, true, LinkError::kUnknownStream},
      {"pulled out", [](FakeServices& f) { f.serial.removed = true; }, C::kDeviceGone},
      {"never opened", [](FakeServices&) {}, C::kNotOpened, R::kNone, false, false},
      {"peer gone", [](FakeServices& f) { f.network.last().peerClosesAt = f.clock.now() + 50; },
       C::kPeerClosed, R::kNone, true},
  };
  for (const Case& c : cases) {
    FakeServices fake;
    const LinkSettings settings = c.tcp ? testing::tcpLinkToServer(fake.network, "10.0.0.5", 4001)
                                        : testing::serialLinkSettings();
    ScaleLink link(settings, fake.services);
    ASSERT_TRUE(!c.opened || link.open()) << c.name;
    c.scale(fake);
    WeightReading reading;
    PollReport report;
    EXPECT_FALSE(pollReading(link, reading, report)) << c.name;
    EXPECT_EQ(report.cause, c.cause) << c.name;
    EXPECT_EQ(report.rejection, c.rejection) << c.name;
    const bool lost = c.cause == C::kDeviceGone || c.cause == C::kPeerClosed;
    const bool silent = c.cause == C::kSilence || c.cause == C::kNotOpened;
    EXPECT_EQ(report.bytesHeard == 0, silent || lost) << c.name;
    EXPECT_EQ(report.osError.failed(), lost) << c.name;
    EXPECT_EQ(link.lastError(), c.code) << c.name;
  }
}

// Frame k shows the weight k: which frame gave a reading is then known.
std::string numberedFrame(std::uint64_t k) {
  char frame[32];
  std::snprintf(frame, sizeof frame, "ST,GS,+ %5u.0kg\r\n", static_cast<unsigned>(k));
  return frame;
}

struct StreamPace {
  const char* name;
  bool tcp;
  std::uint32_t intervalMs;  // from one frame's start to the next; 0: back to back
  std::uint32_t byteMs;      // 1: about 9600 baud, 9: about 1200
};

// A scale that streams is read as a stream at any pace: a fast one fills the
// 44-byte stretch, a slow one falls quiet between frames. Only the first poll
// may ask; every reading is of a frame that was still arriving after the
// poll began, never one that had waited since before it.
TEST(StreamPaces, EveryReadingIsStreamedAndFreshAndOnlyTheFirstPollMayAsk) {
  const StreamPace paces[] = {
      {"back to back", false, 0, 1},
      {"every 50 ms", false, 50, 1},
      {"every 150 ms", false, 150, 1},
      {"every 250 ms", false, 250, 1},
      {"every 400 ms", false, 400, 1},
      {"1200 baud, back to back", false, 0, 9},
      {"1200 baud, every 400 ms", false, 400, 9},
      {"TCP, every 150 ms", true, 150, 1},
      {"TCP, every 400 ms", true, 400, 1},
  };
  const std::uint64_t frameMs = numberedFrame(0).size();
  for (const StreamPace& pace : paces) {
    // From 1250 ms the stream begins after the first poll's quiet check.
    for (const std::uint64_t phase : {0U, 50U, 170U, 1250U}) {
      SCOPED_TRACE(std::string(pace.name) + ", from " + std::to_string(phase) + " ms");
      FakeServices fake;
      const LinkSettings settings = pace.tcp
                                        ? testing::tcpLinkToServer(fake.network, "10.0.0.5", 4001)
                                        : testing::serialLinkSettings();
      ScaleLink link(settings, fake.services);
      ASSERT_TRUE(link.open());
      const std::uint64_t at = fake.clock.now() + phase;
      const std::uint64_t period = std::max<std::uint64_t>(pace.intervalMs, frameMs * pace.byteMs);
      const auto sent = [&] {
        return pace.tcp ? fake.network.last().sent.size() : fake.serial.written.size();
      };
      if (pace.tcp) {
        ScriptedScale::streamEvery(fake.network.last(), at, numberedFrame, pace.intervalMs,
                                   pace.byteMs);
      } else {
        ScriptedScale::streamEvery(fake.serial, at, numberedFrame, pace.intervalMs, pace.byteMs);
      }
      std::size_t askedInTheFirstPoll = 0;
      for (int poll = 0; poll < 6; ++poll) {
        fake.clock.advanceBy(1000);  // the poll loop's wait
        const std::uint64_t pollStart = fake.clock.now();
        WeightReading reading;
        ASSERT_TRUE(pollReading(link, reading)) << "poll " << poll;
        EXPECT_EQ(reading.acquisitionMode, AcquisitionMode::kStream) << "poll " << poll;
        const auto frame = static_cast<std::uint64_t>(reading.preciseWeight);
        EXPECT_GT(at + frame * period + frameMs * pace.byteMs, pollStart) << "poll " << poll;
        if (poll == 0) askedInTheFirstPoll = sent();
        EXPECT_EQ(sent(), askedInTheFirstPoll) << "poll " << poll;
      }
    }
  }
}

class TcpAcquisitionTest : public ::testing::Test {
 protected:
  FakeServices fake;
  std::unique_ptr<ScaleLink> link;

  void SetUp() override {
    link = std::make_unique<ScaleLink>(testing::tcpLinkToServer(fake.network, "192.168.1.20", 4001),
                                       fake.services);
    ASSERT_TRUE(link->open());
  }
};

TEST_F(TcpAcquisitionTest, ACombinedRequestWaitsBeforeReadingOverTcp) {
  testing::FakeSocketState& peer = fake.network.last();
  peer.onSend = [this, &peer](const std::string& sent) {
    if (sent == "\x05\x11") peer.arriveAt(fake.clock.now() + 150, kFrame, 1);
  };
  WeightReading reading;
  const std::uint64_t start = fake.clock.now();
  ASSERT_TRUE(pollReading(*link, reading));
  EXPECT_EQ(reading.acquisitionMode, AcquisitionMode::kCombined);
  // Capture 580, ENQ unanswered 128 + 300, then 168 and the frame's last
  // byte at 150 + 17, and the 80 ms gap.
  EXPECT_EQ(fake.clock.now() - start, 580U + 128 + 300 + 168 + 80);
}

}  // namespace
}  // namespace scalecheck
