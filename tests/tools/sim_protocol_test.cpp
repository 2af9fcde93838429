#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame_source.h"
#include "scale_protocol.h"

namespace scalecheck::sim {
namespace {

const std::string kFrame = "ST,GS,+  1.234kg\r\n";
const std::string kAckByte(1, kAck);
const std::string kNakByte(1, kNak);
const std::string kEnqByte(1, kEnq);
const std::string kDc1Byte(1, kDc1);
const std::string kBoth = kEnqByte + kDc1Byte;
constexpr Nanos kDelay = millis(20);

struct Heard {
  Nanos at;
  std::string bytes;
};

struct Answered {
  Nanos notBefore;
  std::string bytes;
};

struct Case {
  const char* name;
  ScaleKind kind;
  Fault fault;
  std::vector<Heard> heard;
  std::vector<Answered> answers;
};

std::vector<Answered> play(const Case& c) {
  FrameSource frames(kDefaultTemplate, {});
  ScaleProtocol protocol(c.kind, ProtocolTiming{kDelay, 0}, frames);
  ScaleState state;
  state.fault = c.fault;
  std::vector<Answered> answers;
  for (const Heard& heard : c.heard) {
    for (const Emission& e : protocol.receive(heard.bytes, heard.at, state)) {
      answers.push_back(Answered{e.notBefore, e.bytes});
    }
  }
  return answers;
}

TEST(SimProtocol, EachKindAndFaultAnswersAsARealScaleWould) {
  const Nanos t = millis(1000);
  const Nanos later = t + millis(128);  // when a two-step reader sends DC1
  const Case cases[] = {
      {"two-step: ENQ, then DC1",
       ScaleKind::kTwoStep,
       Fault::kNone,
       {{t, kEnqByte}, {later, kDc1Byte}},
       {{t + kDelay, kAckByte}, {later + kDelay, kFrame}}},
      {"two-step: DC1 without ENQ", ScaleKind::kTwoStep, Fault::kNone, {{t, kDc1Byte}}, {}},
      {"two-step: one DC1 answered per ENQ",
       ScaleKind::kTwoStep,
       Fault::kNone,
       {{t, kEnqByte}, {later, kDc1Byte}, {later + 1, kDc1Byte}},
       {{t + kDelay, kAckByte}, {later + kDelay, kFrame}}},
      {"two-step: ENQ and DC1 together",
       ScaleKind::kTwoStep,
       Fault::kNone,
       {{t, kBoth}},
       {{t + kDelay, kAckByte}, {t + kDelay, kFrame}}},
      {"two-step: other bytes are ignored",
       ScaleKind::kTwoStep,
       Fault::kNone,
       {{t, "x" + kEnqByte + "\r"}, {later, "?" + kDc1Byte}},
       {{t + kDelay, kAckByte}, {later + kDelay, kFrame}}},
      {"two-step: NAK, and DC1 goes unanswered",
       ScaleKind::kTwoStep,
       Fault::kNak,
       {{t, kEnqByte}, {later, kDc1Byte}},
       {{t + kDelay, kNakByte}}},
      {"two-step: short frame",
       ScaleKind::kTwoStep,
       Fault::kShort,
       {{t, kEnqByte}, {later, kDc1Byte}},
       {{t + kDelay, kAckByte}, {later + kDelay, kFrame.substr(0, 10)}}},
      {"two-step: frame without unit",
       ScaleKind::kTwoStep,
       Fault::kNoUnit,
       {{t, kEnqByte}, {later, kDc1Byte}},
       {{t + kDelay, kAckByte}, {later + kDelay, "ST,GS,+  1.234  \r\n"}}},
      {"combined: a lone ENQ gets nothing",
       ScaleKind::kCombined,
       Fault::kNone,
       {{t, kEnqByte}},
       {}},
      {"combined: ENQ and DC1 in one write",
       ScaleKind::kCombined,
       Fault::kNone,
       {{t, kBoth}},
       {{t + kDelay, kFrame}}},
      {"combined: DC1 a few ms behind ENQ",
       ScaleKind::kCombined,
       Fault::kNone,
       {{t, kEnqByte}, {t + kCombineWindow, kDc1Byte}},
       {{t + kCombineWindow + kDelay, kFrame}}},
      {"combined: a two-step request gets nothing",
       ScaleKind::kCombined,
       Fault::kNone,
       {{t, kEnqByte}, {later, kDc1Byte}},
       {}},
      {"combined: one frame per ENQ",
       ScaleKind::kCombined,
       Fault::kNone,
       {{t, kBoth + kDc1Byte}},
       {{t + kDelay, kFrame}}},
      {"combined: NAK refuses the request",
       ScaleKind::kCombined,
       Fault::kNak,
       {{t, kBoth}},
       {{t + kDelay, kNakByte}}},
      {"combined: short reply",
       ScaleKind::kCombined,
       Fault::kShort,
       {{t, kBoth}},
       {{t + kDelay, kFrame.substr(0, 10)}}},
      {"stream: requests are ignored",
       ScaleKind::kStream,
       Fault::kNone,
       {{t, kEnqByte}, {later, kDc1Byte}, {later, kBoth}},
       {}},
      {"silence: nothing at all",
       ScaleKind::kTwoStep,
       Fault::kSilence,
       {{t, kEnqByte}, {later, kDc1Byte}},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Answered> answers = play(c);
    ASSERT_EQ(answers.size(), c.answers.size());
    for (std::size_t i = 0; i < answers.size(); ++i) {
      EXPECT_EQ(answers[i].notBefore, c.answers[i].notBefore) << i;
      EXPECT_EQ(answers[i].bytes, c.answers[i].bytes) << i;
    }
  }
}

TEST(SimProtocol, APauseForgetsAnAcknowledgedEnq) {
  FrameSource frames(kDefaultTemplate, {});
  ScaleProtocol protocol(ScaleKind::kTwoStep, ProtocolTiming{kDelay, 0}, frames);
  ScaleState state;
  EXPECT_EQ(protocol.receive(kEnqByte, 0, state).size(), 1U);
  state.paused = true;
  EXPECT_TRUE(protocol.receive(kDc1Byte, 1, state).empty());
  state.paused = false;
  EXPECT_TRUE(protocol.receive(kDc1Byte, 2, state).empty());
}

TEST(SimProtocol, StreamFramesFollowTheLineOrTheInterval) {
  FrameSource frames(kDefaultTemplate, {});
  ScaleState state;
  ScaleProtocol backToBack(ScaleKind::kStream, ProtocolTiming{kDelay, 0}, frames);
  EXPECT_EQ(backToBack.streamFrameStart(millis(5), state), millis(5));
  EXPECT_EQ(backToBack.streamFrame(millis(5), state).bytes, kFrame);
  EXPECT_EQ(backToBack.streamFrameStart(millis(24), state), millis(24));

  ScaleProtocol paced(ScaleKind::kStream, ProtocolTiming{kDelay, millis(100)}, frames);
  // Each frame is made when it starts; the next start follows from it.
  const Nanos frameTime = millis(19);
  Nanos lineFree = millis(5);
  const Nanos expected[] = {millis(5), millis(105), millis(205)};
  for (Nanos start : expected) {
    ASSERT_EQ(paced.streamFrameStart(lineFree, state), start);
    EXPECT_EQ(paced.streamFrame(start, state).notBefore, start);
    lineFree = start + frameTime;
  }
  // A frame that overran the interval starts the rhythm again.
  EXPECT_EQ(paced.streamFrameStart(millis(330), state), millis(330));
  paced.streamFrame(millis(330), state);
  EXPECT_EQ(paced.streamFrameStart(millis(349), state), millis(430));

  state.paused = true;
  EXPECT_FALSE(paced.streamFrameStart(millis(500), state));
  ScaleProtocol asked(ScaleKind::kTwoStep, ProtocolTiming{kDelay, 0}, frames);
  EXPECT_FALSE(asked.streamFrameStart(0, ScaleState{}));
}

}  // namespace
}  // namespace scalecheck::sim
