#include "soak_report.h"

#include <cstdio>
#include <map>
#include <string>

namespace scalecheck::soak {
namespace {

struct Counts {
  int polls = 0;  // lines shown
  int readings = 0;
  std::map<std::string, int> failures;  // by code
};

Counts countsOf(const SoakResult& result) {
  Counts counts;
  for (const bench::ShownLine& line : result.lines) {
    ++counts.polls;
    if (line.reading) {
      ++counts.readings;
    } else {
      ++counts.failures[line.tag];
    }
  }
  return counts;
}

std::string failuresText(const std::map<std::string, int>& failures) {
  std::string text;
  for (const auto& [code, count] : failures) {
    text += (text.empty() ? "" : ",") + code + ":" + std::to_string(count);
  }
  return text.empty() ? "-" : text;
}

std::string faultsText(const SoakResult& result) {
  std::string text;
  for (int kind = 0; kind < kFaultKinds; ++kind) {
    const auto found = result.faults.find(static_cast<FaultKind>(kind));
    text += (text.empty() ? "" : "/") +
            std::to_string(found == result.faults.end() ? 0 : found->second);
  }
  return text;
}

// What is wrong with a run; empty when nothing is.
std::vector<std::string> problemsOf(const SoakResult& result, const Counts& counts) {
  std::vector<std::string> problems;
  if (!result.error.empty()) problems.push_back(result.error);
  if (!result.exit.exited || result.exit.code != 0) {
    problems.push_back("the checker did not end with status 0 after Esc");
  }
  if (counts.readings == 0) problems.push_back("no reading was shown");
  if (result.logRecords != counts.readings) {
    problems.push_back("#Log.csv holds " + std::to_string(result.logRecords) + " records for " +
                       std::to_string(counts.readings) + " readings shown");
  }
  if (result.dumpBlocks != counts.readings) {
    problems.push_back("#DeviceIO holds " + std::to_string(result.dumpBlocks) + " frames for " +
                       std::to_string(counts.readings) + " readings shown");
  }
  if (result.summaryPolls != counts.polls || result.summaryReadings != counts.readings) {
    problems.push_back("the summary counts " + std::to_string(result.summaryPolls) + " polls and " +
                       std::to_string(result.summaryReadings) + " readings");
  }
  return problems;
}

}  // namespace

bool printSoakReport(const std::vector<SoakResult>& results) {
  std::printf("%-9s %6s %6s %8s %6s %6s %-11s %14s %6s  %s\n", "kind", "min", "polls", "readings",
              "log", "dump", "faults", "RSS KiB", "CPU%", "failures by code");
  bool allWell = true;
  std::vector<std::string> notes;
  for (const SoakResult& result : results) {
    const Counts counts = countsOf(result);
    char memory[32];
    std::snprintf(memory, sizeof memory, "%ld->%ld", result.firstResidentKiB,
                  result.peakResidentKiB);
    std::printf("%-9s %6.1f %6d %8d %6d %6d %-11s %14s %6.3f  %s\n", bench::kindName(result.kind),
                result.wallMs / 60000, counts.polls, counts.readings, result.logRecords,
                result.dumpBlocks, faultsText(result).c_str(), memory, result.cpuShare,
                failuresText(counts.failures).c_str());
    for (const std::string& problem : problemsOf(result, counts)) {
      notes.push_back(std::string(bench::kindName(result.kind)) + ": " + problem);
      allWell = false;
    }
  }
  std::printf(
      "(polls and readings: the poll lines the checker showed; log: records in #Log.csv;\n"
      " dump: frames in #DeviceIO; faults: silence/garbage/pause/unplug; RSS: the peak of\n"
      " resident memory at the first poll line -> at the last; CPU%%: user+system time as a\n"
      " share of one core over the run)\n");
  for (const std::string& note : notes) std::printf("FAIL %s\n", note.c_str());
  std::printf("%s\n", allWell ? "PASS: every reading shown was logged and dumped once" : "FAIL");
  return allWell;
}

}  // namespace scalecheck::soak
