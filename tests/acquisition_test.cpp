#include "protocol/acquisition.h"

#include <gtest/gtest.h>

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
