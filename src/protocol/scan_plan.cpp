#include "protocol/scan_plan.h"

#include <algorithm>

namespace scalecheck {

LinkSettings withLine(LinkSettings settings, const LineSetting& line) {
  settings.baudRate = line.baudRate;
  settings.dataBits = line.framing.dataBits;
  settings.parity = line.framing.parity;
  settings.stopBits = line.framing.stopBits;
  return settings;
}

ScanPlan::ScanPlan(const std::vector<std::int32_t>& rates) {
  const auto add = [this](std::int32_t rate, const Framing& framing, PollWays ways) {
    queue_.push_back(Probe{LineSetting{rate, framing}, ways});
  };
  add(kWrittenRate, k8N1, PollWays::kAll);
  add(kWrittenRate, k7E1, PollWays::kAll);
  for (const std::int32_t rate : rates) add(rate, k7E1, PollWays::kStreamOnly);
  for (const std::int32_t rate : rates) add(rate, k7E1, PollWays::kRequestsOnly);
  std::vector<std::int32_t> everyRate{kWrittenRate};
  everyRate.insert(everyRate.end(), rates.begin(), rates.end());
  for (const std::int32_t rate : everyRate) add(rate, k8N2, PollWays::kRequestsOnly);
  for (const Framing& framing : kScanFramings) {
    if (framing == k7E1 || framing == k8N2) continue;
    for (const std::int32_t rate : everyRate) {
      if (rate != kWrittenRate || !(framing == k8N1)) add(rate, framing, PollWays::kRequestsOnly);
    }
  }
}

bool ScanPlan::next(Probe& probe) {
  while (!queue_.empty()) {
    probe = queue_.front();
    queue_.pop_front();
    if (probe.ways != PollWays::kStreamOnly || heardUnasked_) return true;
  }
  return false;
}

void ScanPlan::heard(const Probe& probe, const PollReport& report) {
  if (report.bytesUnasked > 0) heardUnasked_ = true;
  const bool answered =
      report.ackSeen || report.nakSeen || report.cause == PollCause::kFrameRejected;
  if (probe.ways == PollWays::kStreamOnly || !answered) return;
  // Something at this rate understood a request: its other framings next.
  std::stable_partition(queue_.begin(), queue_.end(), [&probe](const Probe& queued) {
    return queued.line.baudRate == probe.line.baudRate;
  });
}

}  // namespace scalecheck
