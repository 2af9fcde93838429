#include "bench_report.h"

#include <cstdio>
#include <string>

#include "poll_stats.h"

namespace scalecheck::bench {
namespace {

// Targets on Linux. A waiting loop that spins would burn most of a core;
// sleeping to the checker's bounds costs next to nothing. Waits that add
// up relative sleeps drift away from the timeline with every step.
constexpr double kCpuShareLimit = 0.5;  // percent of wall time
constexpr double kMedianDistanceLimitMs = 5;
constexpr double kMaxDistanceLimitMs = 15;

struct RowFigures {
  Spread poll;
  Spread distance;
  double expectedMs = 0.0;
  double cpuShare = 0.0;  // percent
};

RowFigures figuresOf(const RunResult& result, const ScalePace& pace) {
  RowFigures figures;
  figures.expectedMs = totalMs(expectedTimeline(result.link, result.kind, pace));
  figures.poll = spreadOf(result.pollMs);
  figures.distance = spreadOf(distancesFrom(result.pollMs, figures.expectedMs));
  figures.cpuShare = result.wallMs > 0 ? 100.0 * result.cpuMs / result.wallMs : 0.0;
  return figures;
}

std::string modesText(const std::set<int>& modes) {
  static const char* const kTags[] = {"??", "~22", "ad", "AD"};
  std::string text;
  for (int mode : modes) {
    if (!text.empty()) text += ",";
    text += std::to_string(mode) + " " + (mode >= 0 && mode <= 3 ? kTags[mode] : "?");
  }
  return text.empty() ? "-" : text;
}

void printTable(const std::vector<RunResult>& results, const ScalePace& pace) {
  std::printf("%-4s %-9s %5s %4s %-7s %8s %8s %8s %8s %8s %8s %8s %6s\n", "link", "kind", "polls",
              "ok", "mode", "median", "min", "max", "expect", "|d|med", "|d|max", "CPU ms",
              "CPU %");
  for (const RunResult& result : results) {
    if (!result.error.empty()) {
      std::printf("%-4s %-9s not run: %s\n", linkName(result.link), kindName(result.kind),
                  result.error.c_str());
      continue;
    }
    const RowFigures figures = figuresOf(result, pace);
    std::printf("%-4s %-9s %5d %4d %-7s %8.1f %8.1f %8.1f %8.1f %8.1f %8.1f %8.1f %6.3f\n",
                linkName(result.link), kindName(result.kind), result.polls, result.good,
                modesText(result.modes).c_str(), figures.poll.median, figures.poll.min,
                figures.poll.max, figures.expectedMs, figures.distance.median, figures.distance.max,
                result.cpuMs, figures.cpuShare);
  }
  std::printf(
      "(times in ms; poll = wall time of one pollReading; |d| = |poll - expect|;\n"
      " CPU = this process's user+system time over the whole run, the 1000 ms\n"
      " waits included, as a share of the run's wall time)\n");
}

void printFormulas(const std::vector<RunResult>& results, const ScalePace& pace) {
  std::printf(
      "\nExpected timelines (d = answer delay %.0f ms, b = %.4f ms a byte, frame %d "
      "bytes):\n",
      pace.answerDelayMs, pace.byteMs, pace.frameBytes);
  for (const RunResult& result : results) {
    std::printf("  %-4s %-9s %s\n", linkName(result.link), kindName(result.kind),
                formulaText(expectedTimeline(result.link, result.kind, pace)).c_str());
  }
}

bool printTarget(const char* what, bool met, const std::string& worst) {
  std::printf("  %-46s %s  (worst: %s)\n", what, met ? "PASS" : "FAIL", worst.c_str());
  return met;
}

std::string worstText(const RunResult& result, double value, const char* unit) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3g%s, %s %s", value, unit, linkName(result.link),
                kindName(result.kind));
  return text;
}

bool printTargets(const std::vector<RunResult>& results, const ScalePace& pace) {
  bool allRun = true;
  bool allGood = true;
  double worstCpu = -1;
  double worstMedian = -1;
  double worstMax = -1;
  std::string cpuAt;
  std::string medianAt;
  std::string maxAt;
  for (const RunResult& result : results) {
    if (!result.error.empty() || result.polls == 0) {
      allRun = false;
      continue;
    }
    allGood = allGood && result.good == result.polls;
    const RowFigures figures = figuresOf(result, pace);
    if (figures.cpuShare > worstCpu) {
      worstCpu = figures.cpuShare;
      cpuAt = worstText(result, worstCpu, "%");
    }
    if (figures.distance.median > worstMedian) {
      worstMedian = figures.distance.median;
      medianAt = worstText(result, worstMedian, " ms");
    }
    if (figures.distance.max > worstMax) {
      worstMax = figures.distance.max;
      maxAt = worstText(result, worstMax, " ms");
    }
  }
  std::printf("\nTargets:\n");
  bool met = allRun && allGood;
  if (!allRun) std::printf("  some runs were not made: FAIL\n");
  std::printf("  %-46s %s\n", "every poll read 1.234 kg in its kind's mode",
              allGood ? "yes" : "NO");
  met = printTarget("CPU time under 0.5% of wall time", worstCpu < kCpuShareLimit, cpuAt) && met;
  met = printTarget("median poll within 5 ms of its timeline",
                    worstMedian <= kMedianDistanceLimitMs, medianAt) &&
        met;
  met = printTarget("no poll further than 15 ms from it", worstMax <= kMaxDistanceLimitMs, maxAt) &&
        met;
  return met;
}

}  // namespace

bool printReport(const std::vector<RunResult>& results, const ScalePace& pace) {
  printTable(results, pace);
  printFormulas(results, pace);
  return printTargets(results, pace);
}

}  // namespace scalecheck::bench
