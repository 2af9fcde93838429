#pragma once

#include <string>

#include "sim_time.h"
#include "simulator.h"

namespace scalecheck::sim {

// Standard output carries the machine-readable lines (ready, ok, error,
// paused, resumed); standard error the -v log, each line stamped with the
// seconds since the start.
class ActivityLog : public SimulatorEvents {
 public:
  ActivityLog(Nanos start, bool verbose) : start_(start), verbose_(verbose) {}

  void activity(Nanos when, const std::string& text) override;
  void scheduledPause(bool paused) override;

  // One line on standard output, flushed at once: a test may be waiting on it.
  static void printLine(const std::string& line);

  bool verbose() const { return verbose_; }

 private:
  Nanos start_;
  bool verbose_;
};

}  // namespace scalecheck::sim
