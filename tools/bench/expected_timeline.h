#pragma once

#include <string>
#include <vector>

namespace scalecheck::bench {

enum class BenchLink { kPty, kTcp };
enum class ScaleKind { kStream, kTwoStep, kCombined };

// How the simulated scale paces what it sends.
struct ScalePace {
  double answerDelayMs = 20.0;       // from a request to the start of its answer
  double byteMs = 10000.0 / 9600.0;  // 10 bits a character at 9600 baud
  int frameBytes = 18;               // "ST,GS,+  1.234kg" CR LF
};

// One step of a poll's timeline: what it is and how long it takes.
struct TimelineStep {
  std::string rule;  // e.g. "max(128, d+1b)"
  double ms = 0.0;
};

// The steps a successful poll goes through on `link` with a scale of
// `kind`, from the waits and limits the checker keeps and the scale's pace.
std::vector<TimelineStep> expectedTimeline(BenchLink link, ScaleKind kind, const ScalePace& pace);

double totalMs(const std::vector<TimelineStep>& steps);

// "rule + rule ... = ms + ms ... = total ms".
std::string formulaText(const std::vector<TimelineStep>& steps);

}  // namespace scalecheck::bench
