#pragma once

#include <map>
#include <string>
#include <vector>

#include "fault_schedule.h"
#include "harness/child_process.h"
#include "scale_kind.h"
#include "screen_reader.h"

namespace scalecheck::soak {

struct SoakSettings {
  std::string simPath;      // scale-sim
  std::string checkerPath;  // scalecheck
  int minutes = 10;         // per kind
  unsigned seed = 0;
  bool verbose = false;  // each fault as it comes
};

// What one kind of scale gave over the soak.
struct SoakResult {
  bench::ScaleKind kind = bench::ScaleKind::kStream;
  double wallMs = 0;
  std::vector<bench::ShownLine> lines;  // the poll lines shown
  int summaryPolls = -1;                // from the summary line; -1: none
  int summaryReadings = -1;
  int logRecords = -1;  // in #Log.csv; -1: no file
  int dumpBlocks = -1;  // frames in #DeviceIO
  // The most memory the checker has had resident (VmHWM), at the first
  // poll line and at the last.
  long firstResidentKiB = -1;
  long peakResidentKiB = -1;
  double cpuShare = -1;  // percent of one core
  std::map<FaultKind, int> faults;
  harness::ExitStatus exit;
  std::string error;  // what went wrong with the run itself
};

// The checker on scale-sim's pseudo-terminal for `settings.minutes`, in a
// scratch folder, with faults at random; then Esc, and what it showed and
// wrote.
SoakResult runSoak(bench::ScaleKind kind, const SoakSettings& settings);

}  // namespace scalecheck::soak
