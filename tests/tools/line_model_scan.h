#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/settings_scan.h"
#include "sim_options.h"

namespace scalecheck::testing {

// A scan of line settings on the fakes, against a simulated scale behind
// the line model, on the virtual clock.
struct LineModelScan {
  ScanResult result;
  std::uint64_t elapsedMs = 0;  // from the start of the scan to its end
  std::vector<ProbeOutcome> probes;
};

// Scans a port with `scale` behind it (none: a port with nothing on it),
// its frames from `rawFrames` in turn when there are any.
LineModelScan scanOnLineModel(const std::optional<sim::SimOptions>& scale,
                              std::vector<std::string> rawFrames = {},
                              const ScanPlan& plan = ScanPlan());

// Whether `result` names the scale at `line`: its rate, and its framing
// or one that reads it alike with its own listed among those (8N1 and 8N2
// cannot be told apart).
bool namesTheScale(const ScanResult& result, const LineSetting& line);

// One poll by a fresh link at `line` of the same scale; true with a reading.
bool pollsOnLineModel(const sim::SimOptions& scale, const LineSetting& line,
                      WeightReading& reading);

// "4800 7E1".
std::string settingName(const LineSetting& line);

// The scale's options for a way and its line.
sim::SimOptions scaleOptions(sim::ScaleKind kind, std::int32_t rate, const Framing& framing);

}  // namespace scalecheck::testing
