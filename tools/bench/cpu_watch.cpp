#include "cpu_watch.h"

namespace scalecheck::bench {

void CpuWatch::sample(double atMs) {
  if (underWine_ && first_.cpuMs.empty()) session_ = findWineSession(prefix_, programName_);
  Sample now;
  now.atMs = atMs;
  for (pid_t pid : session_.others) now.cpuMs[pid] = processCpuMs(pid);
  now.cpuMs[session_.program] = processCpuMs(session_.program);
  if (underWine_) now.cpuMs[session_.server] = processCpuMs(session_.server);
  if (first_.cpuMs.empty()) first_ = now;
  last_ = now;
}

// A process that was not found, or has gone meanwhile, is not measured.
double CpuWatch::shareOf(pid_t pid) const {
  const auto before = first_.cpuMs.find(pid);
  const auto after = last_.cpuMs.find(pid);
  const double span = last_.atMs - first_.atMs;
  if (pid <= 0 || span <= 0 || before == first_.cpuMs.end() || after == last_.cpuMs.end() ||
      before->second < 0 || after->second < 0) {
    return -1;
  }
  return 100.0 * (after->second - before->second) / span;
}

CpuShares CpuWatch::shares() const {
  CpuShares shares;
  shares.program = shareOf(session_.program);
  shares.server = shareOf(session_.server);
  for (pid_t pid : session_.others) {
    const double share = shareOf(pid);
    if (share >= 0) shares.others = (shares.others < 0 ? 0 : shares.others) + share;
  }
  return shares;
}

}  // namespace scalecheck::bench
