#pragma once

#include <vector>

#include "bench_run.h"
#include "expected_timeline.h"

namespace scalecheck::bench {

// The table of all runs, the expected intervals and the targets, on
// stdout. True when every run was made and met every target.
bool printReport(const std::vector<RunResult>& results, const ScalePace& pace);

}  // namespace scalecheck::bench
