#include "bench_report.h"

#include <cstdio>
#include <map>
#include <string>

#include "poll_stats.h"

namespace scalecheck::bench {
namespace {

// Targets. A reading the operator sees late or early by more than a few
// milliseconds means a wait that drifts or sleeps too long; one that spins
// would burn most of a core, while sleeping to the checker's bounds costs
// next to nothing. Under Wine every wait goes through its server, and
// Windows' 16 ms timer steps set the pace, so only its processor time is
// held to a target there.
constexpr double kLinuxCpuLimit = 0.5;  // percent of one core
constexpr double kWineCpuLimit = 2.5;
constexpr double kMedianDistanceLimitMs = 2;
constexpr double kMaxDistanceLimitMs = 10;
// A distance of exactly a limit still meets it.
constexpr double kAtLimit = 1e-9;

struct RowFigures {
  int readings = 0;   // in the kind's own way
  std::string shown;  // how many lines of each kind: "AD:10", "110:6"
  Spread interval;
  Spread distance;
  int intervals = 0;
  double expectedMs = 0.0;  // 0: none expected
};

// The lines whose intervals are measured: readings in the kind's way, or
// for a quiet scale its failures.
bool isMeasured(const ShownLine& line, ScaleKind kind) {
  return kind == ScaleKind::kQuiet ? !line.reading : line.reading && line.tag == tagOf(kind);
}

std::string shownText(const std::vector<ShownLine>& lines) {
  std::map<std::string, int> counts;
  for (const ShownLine& line : lines) ++counts[line.tag];
  std::string text;
  for (const auto& [tag, count] : counts) {
    text += (text.empty() ? "" : ",") + tag + ":" + std::to_string(count);
  }
  return text.empty() ? "-" : text;
}

RowFigures figuresOf(const RunResult& result, const ScalePace& pace) {
  RowFigures figures;
  std::vector<double> intervals;
  for (std::size_t i = 0; i < result.lines.size(); ++i) {
    const ShownLine& line = result.lines[i];
    if (line.reading && line.tag == tagOf(result.kind)) ++figures.readings;
    if (i > 0 && isMeasured(line, result.kind) && isMeasured(result.lines[i - 1], result.kind)) {
      intervals.push_back(line.atMs - result.lines[i - 1].atMs);
    }
  }
  figures.shown = shownText(result.lines);
  figures.intervals = static_cast<int>(intervals.size());
  figures.interval = spreadOf(intervals);
  figures.expectedMs = expectedIntervalMs(result.link, result.kind, pace);
  if (figures.expectedMs > 0)
    figures.distance = spreadOf(distancesFrom(intervals, figures.expectedMs));
  return figures;
}

std::string shareText(double share) {
  if (share < 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", share);
  return text;
}

std::string exitText(const harness::ExitStatus& exit) {
  if (exit.exited) return std::to_string(exit.code);
  return exit.signal != 0 ? "sig " + std::to_string(exit.signal) : "-";
}

void printRow(const RunResult& result, const ScalePace& pace) {
  if (!result.error.empty()) {
    std::printf("%-4s %-9s not run: %s\n", linkName(result.link), kindName(result.kind),
                result.error.c_str());
    return;
  }
  const RowFigures figures = figuresOf(result, pace);
  char expected[3][16] = {"-", "-", "-"};
  if (figures.expectedMs > 0) {
    std::snprintf(expected[0], sizeof expected[0], "%.1f", figures.expectedMs);
    std::snprintf(expected[1], sizeof expected[1], "%.1f", figures.distance.median);
    std::snprintf(expected[2], sizeof expected[2], "%.1f", figures.distance.max);
  }
  std::printf("%-4s %-9s %5d %-11s %8.1f %8.1f %8.1f %8s %6s %6s %6s %6s %6s %6s %4s\n",
              linkName(result.link), kindName(result.kind), result.count, figures.shown.c_str(),
              figures.interval.median, figures.interval.min, figures.interval.max, expected[0],
              expected[1], expected[2], shareText(result.lifeCpu).c_str(),
              shareText(result.cpu.program).c_str(), shareText(result.cpu.server).c_str(),
              shareText(result.cpu.others).c_str(), exitText(result.exit).c_str());
}

void printTable(const std::vector<RunResult>& results, const ScalePace& pace) {
  std::printf("%-4s %-9s %5s %-11s %8s %8s %8s %8s %6s %6s %6s %6s %6s %6s %4s\n", "link", "kind",
              "polls", "shown", "median", "min", "max", "expect", "|d|med", "|d|max", "life%",
              "steady", "wsrv%", "wine%", "exit");
  for (const RunResult& result : results) printRow(result, pace);
  std::printf(
      "(shown: the poll lines the checker showed, by way or failure code; median, min, max:\n"
      " the interval between two readings as they appeared on its terminal (for a quiet\n"
      " scale between two failures), in ms; expect: the loop's wait and the poll's\n"
      " timeline; |d| = |interval - expect|. The checker's user+system time as a share\n"
      " of one core, in %%: life%% over its whole run (wait4, Linux only), steady from\n"
      " its first line to its last (/proc, in 10 ms ticks), and over the same span\n"
      " wineserver (wsrv%%) and the rest of the Wine session (wine%%: console host,\n"
      " services))\n");
}

void printFormulas(const std::vector<RunResult>& results, const ScalePace& pace) {
  std::printf(
      "\nExpected intervals (wait = the loop's 42 steps of 24 ms; d = answer delay %.0f ms, "
      "b = %.4f ms a byte, frame %d bytes):\n",
      pace.answerDelayMs, pace.byteMs, pace.frameBytes);
  for (const RunResult& result : results) {
    std::vector<TimelineStep> steps = expectedTimeline(result.link, result.kind, pace);
    if (steps.empty()) continue;
    steps.insert(steps.begin(), TimelineStep{"1008 wait", kPollWaitMs});
    std::printf("  %-4s %-9s %s\n", linkName(result.link), kindName(result.kind),
                formulaText(steps).c_str());
  }
}

// The largest value seen for a target, and where.
struct Worst {
  double value = -1;
  std::string where = "-";

  void note(double candidate, const RunResult& result) {
    if (candidate <= value) return;
    value = candidate;
    where = std::string(linkName(result.link)) + " " + kindName(result.kind);
  }
};

// A target that no run measured is not shown.
bool printTarget(const std::string& what, double limit, const Worst& worst, const char* unit) {
  if (worst.value < 0) return true;
  const bool met = worst.value < limit;
  std::printf("  %-52s %s  (worst: %.3g%s, %s)\n", what.c_str(), met ? "PASS" : "FAIL", worst.value,
              unit, worst.where.c_str());
  return met;
}

// Every run ended by itself after its polls, each a reading in its kind's
// way (on Linux; under Wine what came is reported).
bool runAsExpected(const RunResult& result, const RowFigures& figures) {
  if (!result.error.empty() || !result.exit.exited) return false;
  if (result.link == BenchLink::kWine) return true;
  if (result.kind == ScaleKind::kQuiet) return result.exit.code == 1;
  return result.exit.code == 0 && figures.readings == result.count &&
         static_cast<int>(result.lines.size()) == result.count;
}

}  // namespace

bool printReport(const std::vector<RunResult>& results, const ScalePace& pace) {
  printTable(results, pace);
  printFormulas(results, pace);
  bool allAsExpected = true;
  Worst linuxCpu;
  Worst wineCpu;
  Worst median;
  Worst most;
  for (const RunResult& result : results) {
    const RowFigures figures = figuresOf(result, pace);
    const bool asExpected = runAsExpected(result, figures);
    allAsExpected = allAsExpected && asExpected;
    if (!asExpected) continue;
    // On Linux the whole run counts; under Wine, whose start-up alone
    // takes seconds of processor time, the steady span. A share that could
    // not be measured counts as missed.
    const double measured = result.link == BenchLink::kWine ? result.cpu.program : result.lifeCpu;
    const double cpu = measured < 0 ? 100.0 : measured;
    (result.link == BenchLink::kWine ? wineCpu : linuxCpu).note(cpu, result);
    if (result.link != BenchLink::kWine && figures.expectedMs > 0) {
      median.note(figures.distance.median, result);
      most.note(figures.distance.max, result);
    }
  }
  std::printf("\nTargets:\n");
  std::printf("  %-52s %s\n", "every run made; on Linux every poll a reading in its way",
              allAsExpected ? "PASS" : "FAIL");
  bool met = allAsExpected;
  // The distances may reach their limits; the processor time stays under.
  met = printTarget("median interval within 2 ms of its timeline (Linux)",
                    kMedianDistanceLimitMs + kAtLimit, median, " ms") &&
        met;
  met = printTarget("every interval within 10 ms of it (Linux)", kMaxDistanceLimitMs + kAtLimit,
                    most, " ms") &&
        met;
  met = printTarget("checker CPU under 0.5% of a core (Linux, life%)", kLinuxCpuLimit, linuxCpu,
                    "%") &&
        met;
  met =
      printTarget("checker CPU under 2.5% of a core (Wine, steady)", kWineCpuLimit, wineCpu, "%") &&
      met;
  return met;
}

}  // namespace scalecheck::bench
