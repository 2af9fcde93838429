#pragma once

#include <set>
#include <string>
#include <vector>

#include "expected_timeline.h"

namespace scalecheck::bench {

struct RunSettings {
  std::string simPath;  // the scale-sim program
  std::string portDir;  // where the pseudo-terminal's com1 link is made
  int polls = 20;
  int answerDelayMs = 20;
  bool verbose = false;  // one line per poll on stdout
};

// What one kind of scale on one link gave.
struct RunResult {
  BenchLink link = BenchLink::kPty;
  ScaleKind kind = ScaleKind::kStream;
  int polls = 0;
  int good = 0;                // true, in the kind's own mode, with the right weight
  std::set<int> modes;         // acquisition modes of the successful polls
  std::vector<double> pollMs;  // wall time of every poll
  double cpuMs = 0.0;          // our process's processor time over the whole run
  double wallMs = 0.0;         // wall time of the whole run, the loop's waits included
  std::string error;           // why the run could not be made; empty when it was
};

// Starts scale-sim as `kind` on `link`, opens a ScaleLink to it and polls it
// as the program's poll loop does: the 1000 ms wait in 24 ms steps, then a
// poll, `settings.polls` times.
RunResult runAgainstSimulator(BenchLink link, ScaleKind kind, const RunSettings& settings);

const char* linkName(BenchLink link);
const char* kindName(ScaleKind kind);

}  // namespace scalecheck::bench
