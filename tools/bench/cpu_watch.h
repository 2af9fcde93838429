#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <utility>

#include "proc_stats.h"

namespace scalecheck::bench {

// Processor time as a share of wall time, in percent; -1 when not measured.
struct CpuShares {
  double program = -1;  // the checker (under Wine its Windows program)
  double server = -1;   // wineserver, through which the program's waits go
  double others = -1;   // the rest of the Wine session: console host, services
};

// The processor time of the checker, and under Wine of its Wine session,
// between two moments, read from /proc: the start-up (seconds of work in
// every process of a Wine session) stays out of the span.
class CpuWatch {
 public:
  // The checker as process `pid`.
  explicit CpuWatch(pid_t pid) { session_.program = pid; }
  // A Windows program in the Wine session of `prefix`, found at the first
  // sample.
  CpuWatch(std::string prefix, std::string programName)
      : prefix_(std::move(prefix)), programName_(std::move(programName)), underWine_(true) {}

  // Notes every process's time now.
  void sample(double atMs);
  // From the first sample to the last.
  CpuShares shares() const;
  // The Windows program's process, once found.
  pid_t program() const { return session_.program; }

 private:
  struct Sample {
    double atMs = 0;
    std::map<pid_t, double> cpuMs;
  };
  double shareOf(pid_t pid) const;

  std::string prefix_;
  std::string programName_;
  bool underWine_ = false;
  WineSession session_;
  Sample first_;
  Sample last_;
};

}  // namespace scalecheck::bench
