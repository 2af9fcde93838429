#pragma once

#include <string>
#include <vector>

#include "cpu_watch.h"
#include "expected_timeline.h"
#include "harness/child_process.h"
#include "screen_reader.h"

namespace scalecheck::bench {

struct RunSettings {
  std::string simPath;      // scale-sim
  std::string checkerPath;  // the Linux scalecheck
  std::string workDir;      // the checker's folder: its files, and the Linux port link
  std::string wineRun;      // scripts/wine-run
  std::string wineExe;      // the Windows scalecheck.exe; empty: no Wine runs
  std::string winePrefix;   // the prefix wine-run uses (SCALECHECK_WINEPREFIX)
  int count = 10;           // polls a run on Linux (--count)
  int wineCount = 6;        // polls a run under Wine
  int answerDelayMs = 20;
  bool verbose = false;  // each line as it appears
};

// What one kind of scale on one link gave: the checker run with --count,
// and the lines it showed.
struct RunResult {
  BenchLink link = BenchLink::kPty;
  ScaleKind kind = ScaleKind::kStream;
  int count = 0;  // polls asked for
  std::vector<ShownLine> lines;
  harness::ExitStatus exit;
  // From the first line shown to the last: the steady cost, without the
  // start-up.
  CpuShares cpu;
  // On Linux: the checker's whole run (wait4), start-up included.
  double lifeCpu = -1;
  std::string error;  // why the run could not be made; empty when it was
};

// Starts scale-sim as `kind`, then the checker on `link` to it for
// `count` polls, and reads what it shows.
RunResult runBench(BenchLink link, ScaleKind kind, const RunSettings& settings);

// Makes the Wine prefix the runs use, if there is none yet, and checks that
// its COM ports can be mapped; false with the reason in `error`.
bool prepareWinePrefix(const RunSettings& settings, std::string& error);

const char* linkName(BenchLink link);

}  // namespace scalecheck::bench
