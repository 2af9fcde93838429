#pragma once

#include <string>
#include <vector>

#include "scale_kind.h"

namespace scalecheck::bench {

// kWine: the Windows program under Wine on a pseudo-terminal, a serial
// port to it.
enum class BenchLink { kPty, kTcp, kWine };

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

// The poll loop's wait between two polls: 42 steps of 24 ms, the first
// step that ends 1000 ms or more after the start.
constexpr double kPollWaitMs = 1008;

// The steps a successful poll goes through on `link` with a scale of
// `kind`, from the waits and limits the checker keeps and the scale's pace;
// none for a quiet scale.
std::vector<TimelineStep> expectedTimeline(BenchLink link, ScaleKind kind, const ScalePace& pace);

// From one reading shown to the next: the loop's wait and a poll; 0 when
// no reading is expected.
double expectedIntervalMs(BenchLink link, ScaleKind kind, const ScalePace& pace);

double totalMs(const std::vector<TimelineStep>& steps);

// "rule + rule ... = ms + ms ... = total ms".
std::string formulaText(const std::vector<TimelineStep>& steps);

}  // namespace scalecheck::bench
