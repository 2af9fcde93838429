#include "expected_timeline.h"

#include <algorithm>
#include <cstdio>

namespace scalecheck::bench {
namespace {

// The checker's own waits and limits, in milliseconds.
constexpr double kSerialQuietMs = 200;  // a quiet line, looked at every 8 ms
constexpr double kSerialLookMs = 8;
constexpr double kTcpSettleMs = 128;  // slept before the socket is watched
constexpr double kTcpWatchMs = 152;
constexpr double kCaptureFirstByteMs = 300;
constexpr int kCaptureBytes = 44;
constexpr double kAckDelayMs = 128;
constexpr double kDataDelayMs = 168;
constexpr double kGapMs = 80;
// A serial reply's first byte is waited for until more than 350 ms have
// passed: on a millisecond counter, 351. Over TCP 300 ms end the wait.
constexpr double kSerialFirstByteMs = 351;
constexpr double kTcpFirstByteMs = 300;

std::string format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

// A reply read `sleepMs` after its request left: its last byte is in hand
// when both the sleep is over and the scale has sent the whole reply
// (answer delay, then each byte at line speed).
TimelineStep replyStep(double sleepMs, int bytes, const ScalePace& pace) {
  const double sent = pace.answerDelayMs + bytes * pace.byteMs;
  const std::string paced = "d+" + std::to_string(bytes) + "b";
  if (sleepMs <= 0) return {paced, sent};
  return {"max(" + format("%.0f", sleepMs) + ", " + paced + ")", std::max(sleepMs, sent)};
}

void addCapture(BenchLink link, bool streams, const ScalePace& pace,
                std::vector<TimelineStep>& steps) {
  if (link != BenchLink::kTcp) {
    if (streams) {
      // The backlog of the loop's wait is discarded: 44 fresh bytes.
      steps.push_back({"8 look", kSerialLookMs});
      steps.push_back({"44b", kCaptureBytes * pace.byteMs});
    } else {
      steps.push_back({"200 quiet", kSerialQuietMs});
    }
    return;
  }
  steps.push_back({"128 settle", kTcpSettleMs});
  if (streams) {
    // The backlog of the loop's wait is dropped as stale: 44 fresh bytes.
    steps.push_back({"44b", kCaptureBytes * pace.byteMs});
  } else {
    steps.push_back({"152 watch", kTcpWatchMs});
    steps.push_back({"300 first byte", kCaptureFirstByteMs});
  }
}

void addTwoStep(const ScalePace& pace, std::vector<TimelineStep>& steps) {
  // A pseudo-terminal (and a socket) takes the bytes at once: no line time
  // of our own requests shows in the poll.
  steps.push_back(replyStep(kAckDelayMs, 1, pace));
  steps.push_back({"80 gap", kGapMs});
  steps.push_back(replyStep(kDataDelayMs, pace.frameBytes, pace));
  steps.push_back({"80 gap", kGapMs});
}

void addCombined(BenchLink link, const ScalePace& pace, std::vector<TimelineStep>& steps) {
  // The lone ENQ of the two-step request gets no answer first.
  steps.push_back({"128", kAckDelayMs});
  if (link != BenchLink::kTcp) {
    steps.push_back({"351 no reply", kSerialFirstByteMs});
    steps.push_back(replyStep(0, pace.frameBytes, pace));
  } else {
    steps.push_back({"300 no reply", kTcpFirstByteMs});
    steps.push_back(replyStep(kDataDelayMs, pace.frameBytes, pace));
  }
  steps.push_back({"80 gap", kGapMs});
}

}  // namespace

std::vector<TimelineStep> expectedTimeline(BenchLink link, ScaleKind kind, const ScalePace& pace) {
  std::vector<TimelineStep> steps;
  if (kind == ScaleKind::kQuiet) return steps;
  addCapture(link, kind == ScaleKind::kStream, pace, steps);
  if (kind == ScaleKind::kTwoStep) addTwoStep(pace, steps);
  if (kind == ScaleKind::kCombined) addCombined(link, pace, steps);
  return steps;
}

double expectedIntervalMs(BenchLink link, ScaleKind kind, const ScalePace& pace) {
  const std::vector<TimelineStep> steps = expectedTimeline(link, kind, pace);
  return steps.empty() ? 0.0 : kPollWaitMs + totalMs(steps);
}

double totalMs(const std::vector<TimelineStep>& steps) {
  double total = 0;
  for (const TimelineStep& step : steps) total += step.ms;
  return total;
}

std::string formulaText(const std::vector<TimelineStep>& steps) {
  std::string rules;
  std::string values;
  for (const TimelineStep& step : steps) {
    if (!rules.empty()) {
      rules += " + ";
      values += " + ";
    }
    rules += step.rule;
    values += format("%.1f", step.ms);
  }
  return rules + " = " + values + " = " + format("%.1f ms", totalMs(steps));
}

}  // namespace scalecheck::bench
