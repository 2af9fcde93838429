#include "activity_log.h"

#include <cstdio>

namespace scalecheck::sim {

void ActivityLog::activity(Nanos when, const std::string& text) {
  if (!verbose_) return;
  const double seconds = static_cast<double>(when - start_) / static_cast<double>(kNanosPerSecond);
  std::fprintf(stderr, "scale-sim %10.3f %s\n", seconds, text.c_str());
}

void ActivityLog::scheduledPause(bool paused) {
  printLine(paused ? "paused" : "resumed");
}

void ActivityLog::printLine(const std::string& line) {
  // A closed standard output (the reader of our lines has gone) is no reason
  // to stop being a scale: the result is not checked.
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace scalecheck::sim
