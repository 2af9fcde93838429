// detect-bench: how long a scan for the line settings takes. On the fakes,
// through the line model, on the virtual clock (exact, since every wait of
// the scan is bounded): a scale of every way at every rate and framing of
// the grid, and no scale, noise and another protocol. Then, with --pty, the
// built scalecheck --detect against scale-sim on a pseudo-terminal, by the
// wall clock.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "harness/child_process.h"
#include "harness/sim_process.h"
#include "tools/line_model_scan.h"

namespace {

using namespace scalecheck;
using namespace scalecheck::testing;

constexpr std::int32_t kGridRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

const char kUsage[] =
    "Usage: detect-bench [--rates R,R,...] [--pty] [-v]\n"
    "  --rates  the rates to try after 9600, in order (default: the program's)\n"
    "  --pty    also scalecheck --detect against scale-sim on a pseudo-terminal,\n"
    "           by the wall clock (about a minute, most of it the quiet port)\n"
    "  -v       every case\n";

double seconds(std::uint64_t ms) {
  return static_cast<double>(ms) / 1000.0;
}

struct Row {
  std::string name;
  std::vector<std::uint64_t> times;
  int found = 0;
  int polls = 0;
  int verdicts = 0;  // rows without a scale: verdicts given (all false)
  std::string worstAt;
};

void printRow(const Row& row, bool scaleThere) {
  std::vector<std::uint64_t> sorted = row.times;
  std::sort(sorted.begin(), sorted.end());
  const std::uint64_t median = sorted[(sorted.size() - 1) / 2];
  std::uint64_t total = 0;
  for (const std::uint64_t time : sorted) total += time;
  const double mean = seconds(total) / static_cast<double>(sorted.size());
  if (scaleThere) {
    std::printf("%-28s %5zu %5d %5d %8.2f s %8.2f s %8.2f s  (%s)\n", row.name.c_str(),
                sorted.size(), row.found, row.polls, mean, seconds(median), seconds(sorted.back()),
                row.worstAt.c_str());
  } else {
    std::printf("%-28s %5zu %5s %5s %8.2f s %8.2f s %8.2f s  verdicts: %d\n", row.name.c_str(),
                sorted.size(), "-", "-", mean, seconds(median), seconds(sorted.back()),
                row.verdicts);
  }
}

Row gridRow(const std::string& name, sim::SimOptions base, AcquisitionMode way,
            const ScanPlan& plan, bool verbose) {
  Row row{name, {}, 0, 0, 0, ""};
  std::uint64_t worst = 0;
  for (const std::int32_t rate : kGridRates) {
    for (const Framing& framing : kScanFramings) {
      sim::SimOptions scale = scaleOptions(base.kind, rate, framing);
      scale.intervalMs = base.intervalMs;
      scale.strict = base.strict;
      const LineSetting line{rate, framing};
      const LineModelScan scan = scanOnLineModel(scale, {}, plan);
      // Found: the verdict names the scale; polls: a run at its settings
      // reads the scale its way.
      const bool found = namesTheScale(scan.result, line);
      WeightReading reading;
      const bool polls = scan.result.found &&
                         pollsOnLineModel(scale, scan.result.verdict.line, reading) &&
                         reading.acquisitionMode == way;
      row.found += found ? 1 : 0;
      row.polls += polls ? 1 : 0;
      row.times.push_back(scan.elapsedMs);
      if (scan.elapsedMs >= worst) {
        worst = scan.elapsedMs;
        row.worstAt = settingName(line);
      }
      if (verbose) {
        std::printf("  %-26s %-10s %8.2f s  %zu settings  -> %s%s%s\n", name.c_str(),
                    settingName(line).c_str(), seconds(scan.elapsedMs), scan.probes.size(),
                    scan.result.found ? settingName(scan.result.verdict.line).c_str() : "nothing",
                    found ? "" : "  NOT FOUND", polls ? "" : "  DOES NOT POLL");
      }
    }
  }
  return row;
}

// Frames of random bytes, any value, as a line that carries noise.
std::vector<std::string> noiseFrames(std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::string> frames(64);
  for (std::string& frame : frames) {
    frame.resize(8 + random() % 32);
    for (char& byte : frame) byte = static_cast<char>(random() & 0xFFU);
  }
  return frames;
}

Row noScaleRow(const std::string& name, const std::vector<std::optional<sim::SimOptions>>& scales,
               const std::vector<std::vector<std::string>>& frames, const ScanPlan& plan) {
  Row row{name, {}, 0, 0, 0, ""};
  for (std::size_t i = 0; i < scales.size(); ++i) {
    const LineModelScan scan = scanOnLineModel(
        scales[i], i < frames.size() ? frames[i] : std::vector<std::string>{}, plan);
    row.times.push_back(scan.elapsedMs);
    row.verdicts += scan.result.found ? 1 : 0;
  }
  return row;
}

std::vector<std::int32_t> parseRates(const char* text) {
  std::vector<std::int32_t> rates;
  for (const char* at = text; *at != '\0';) {
    rates.push_back(static_cast<std::int32_t>(std::strtol(at, nullptr, 10)));
    const char* comma = std::strchr(at, ',');
    if (comma == nullptr) break;
    at = comma + 1;
  }
  return rates;
}

void virtualClockRuns(const std::vector<std::int32_t>& rates, bool verbose) {
  const ScanPlan plan(rates);
  std::printf("Scans on the fakes through the line model (virtual time); rates after 9600:");
  for (const std::int32_t rate : rates) std::printf(" %d", rate);
  std::printf("\n%-28s %5s %5s %5s %10s %10s %10s\n", "scale", "cases", "found", "polls", "mean",
              "median", "worst");
  sim::SimOptions scale;
  const struct {
    const char* name;
    sim::ScaleKind kind;
    AcquisitionMode way;
    std::uint32_t intervalMs;
    bool strict;
  } kRows[] = {
      {"stream", sim::ScaleKind::kStream, AcquisitionMode::kStream, 0, false},
      {"two-step", sim::ScaleKind::kTwoStep, AcquisitionMode::kTwoStep, 0, false},
      {"combined", sim::ScaleKind::kCombined, AcquisitionMode::kCombined, 0, false},
      {"stream, a frame a second", sim::ScaleKind::kStream, AcquisitionMode::kStream, 1000, false},
      {"two-step, strict parity", sim::ScaleKind::kTwoStep, AcquisitionMode::kTwoStep, 0, true},
      {"combined, strict parity", sim::ScaleKind::kCombined, AcquisitionMode::kCombined, 0, true},
  };
  for (const auto& kind : kRows) {
    scale.kind = kind.kind;
    scale.intervalMs = kind.intervalMs;
    scale.strict = kind.strict;
    printRow(gridRow(kind.name, scale, kind.way, plan, verbose), true);
  }
  // Without a scale that reads, at a rate in the middle and at the ends.
  std::vector<std::optional<sim::SimOptions>> noise;
  std::vector<std::vector<std::string>> noiseBytes;
  std::vector<std::optional<sim::SimOptions>> otherStream;
  std::vector<std::optional<sim::SimOptions>> otherTwoStep;
  for (const std::int32_t rate : {1200, 9600, 115200}) {
    noise.push_back(scaleOptions(sim::ScaleKind::kStream, rate, k8N1));
    noiseBytes.push_back(noiseFrames(static_cast<std::uint32_t>(rate)));
    // "+  1.234 kg" CR LF: no stability letter.
    sim::SimOptions other = scaleOptions(sim::ScaleKind::kStream, rate, k8N1);
    other.frameTemplate = "%+%W %u\\r\\n";
    otherStream.push_back(other);
    other.kind = sim::ScaleKind::kTwoStep;
    otherTwoStep.push_back(other);
  }
  printRow(noScaleRow("no scale", {std::nullopt}, {}, plan), false);
  printRow(noScaleRow("noise (1200, 9600, 115200)", noise, noiseBytes, plan), false);
  printRow(noScaleRow("other protocol, stream", otherStream, {}, plan), false);
  printRow(noScaleRow("other protocol, two-step", otherTwoStep, {}, plan), false);
}

// scalecheck --detect against scale-sim on a pseudo-terminal.
void ptyRuns() {
  std::printf("\nscalecheck --detect against scale-sim on a pseudo-terminal (wall clock)\n");
  std::printf("%-36s %-46s %8s %5s\n", "scale-sim", "verdict", "time", "exit");
  const std::vector<std::vector<std::string>> kScales = {
      {"--kind", "stream", "--baud", "4800"},
      {"--kind", "stream", "--baud", "1200", "--stop", "2"},
      {"--kind", "two-step", "--baud", "19200"},
      {"--kind", "combined", "--baud", "1200"},
      {"--kind", "two-step", "--baud", "115200"},
      {"--kind", "stream", "--fault", "silence"},
  };
  char folder[] = "/tmp/detect-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return;
  const std::string link = std::string(folder) + "/scale";
  for (const std::vector<std::string>& options : kScales) {
    std::vector<std::string> arguments{"--pty", link};
    arguments.insert(arguments.end(), options.begin(), options.end());
    harness::SimProcess sim;
    std::string error;
    if (!sim.start(SCALE_SIM_PATH, arguments, error)) {
      std::printf("scale-sim did not start: %s\n", error.c_str());
      continue;
    }
    const auto start = std::chrono::steady_clock::now();
    std::string output;
    const harness::ExitStatus status = harness::runToEnd(
        SCALECHECK_PATH, {"--port", link, "--detect"}, harness::Deadline(120000), output);
    const long long ms = harness::millisecondsSince(start);
    // The options of the command the verdict prints, after the port.
    const std::string command = "scalecheck --port " + link + " ";
    const std::size_t at = output.find(command);
    std::string verdict = "-";
    if (at != std::string::npos) {
      const std::size_t from = at + command.size();
      verdict = output.substr(from, output.find('\n', from) - from);
    }
    std::string shown;
    for (const std::string& option : options) shown += option + " ";
    std::printf("%-36s %-46s %6.2f s %5d\n", shown.c_str(), verdict.c_str(),
                static_cast<double>(ms) / 1000.0, status.exited ? status.code : -1);
    sim.stop();
  }
  rmdir(folder);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::int32_t> rates(std::begin(kOtherScanRates), std::end(kOtherScanRates));
  bool pty = false;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--rates" && i + 1 < argc) {
      rates = parseRates(argv[++i]);
    } else if (argument == "--pty") {
      pty = true;
    } else if (argument == "-v") {
      verbose = true;
    } else {
      std::fputs(kUsage, argument == "-h" || argument == "--help" ? stdout : stderr);
      return argument == "-h" || argument == "--help" ? 0 : 2;
    }
  }
  virtualClockRuns(rates, verbose);
  if (pty) ptyRuns();
  return 0;
}
