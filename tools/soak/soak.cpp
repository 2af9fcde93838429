// soak: the checker against scale-sim's pseudo-terminal for minutes per
// kind of scale, with faults at random, then what it showed set against
// what it wrote: every reading shown must be in #Log.csv and #DeviceIO
// once. Not a test: run by hand (scripts/soak).

#include <time.h>

#include <cstdio>
#include <string>
#include <vector>

#include "soak_report.h"
#include "soak_run.h"
#include "tool_args.h"

namespace {

using namespace scalecheck;
using bench::ScaleKind;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kMostMinutes = 24 * 60;
constexpr int kMostSeed = 1000000000;

const char kUsage[] =
    "Usage: soak [options]\n"
    "\n"
    "Runs the checker (--port on scale-sim's pseudo-terminal, in a scratch\n"
    "folder) against scale-sim for a while per kind of scale, with faults at\n"
    "random every 5 to 20 s: the scale silent or sending garbage for 2 to 10 s,\n"
    "paused and resumed, or unplugged (the simulator killed) and plugged in\n"
    "again on the same port link 2 to 6 s later. Then Esc, and a row per kind:\n"
    "the polls and readings shown, the records in #Log.csv and frames in\n"
    "#DeviceIO (both must equal the readings shown), the faults, the checker's\n"
    "resident memory and processor time, and the failures shown by code.\n"
    "\n"
    "Options:\n"
    "  --minutes M      per kind (default 10)\n"
    "  --kind K         stream, two-step, combined or all (default all)\n"
    "  --seed N         the faults' series (default: from the clock; shown)\n"
    "  --checker PATH   scalecheck (default: beside soak)\n"
    "  --sim PATH       scale-sim (default: beside soak)\n"
    "  -v, --verbose    each fault as it begins and ends\n"
    "  -h, --help       this text\n"
    "\n"
    "Exit status: 0 when every check held, 1 when one did not, 2 for bad options.\n";

const std::vector<ScaleKind> kSoakKinds{ScaleKind::kStream, ScaleKind::kTwoStep,
                                        ScaleKind::kCombined};

struct Options {
  soak::SoakSettings run;
  std::vector<ScaleKind> kinds = kSoakKinds;
  bool help = false;
};

bool parseValue(const std::string& name, const char* value, Options& options, std::string& error) {
  int seed = 0;
  if (name == "--minutes") {
    if (bench::parseCount(value, 1, kMostMinutes, options.run.minutes)) return true;
    error = "--minutes wants a number from 1 to " + std::to_string(kMostMinutes);
  } else if (name == "--kind") {
    if (bench::parseKinds(value, kSoakKinds, options.kinds)) return true;
    error = "--kind wants stream, two-step, combined or all";
  } else if (name == "--seed") {
    if (bench::parseCount(value, 0, kMostSeed, seed)) {
      options.run.seed = static_cast<unsigned>(seed);
      return true;
    }
    error = "--seed wants a number from 0 to " + std::to_string(kMostSeed);
  } else if (name == "--checker") {
    options.run.checkerPath = value;
    return true;
  } else if (name == "--sim") {
    options.run.simPath = value;
    return true;
  } else {
    error = "unknown option: " + name;
  }
  return false;
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
  const char* self = argc > 0 ? argv[0] : nullptr;
  options.run.simPath = bench::besideProgram(self, "scale-sim");
  options.run.checkerPath = bench::besideProgram(self, "scalecheck");
  options.run.seed = static_cast<unsigned>(time(nullptr) % kMostSeed);
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "-h" || name == "--help") {
      options.help = true;
    } else if (name == "-v" || name == "--verbose") {
      options.run.verbose = true;
    } else if (i + 1 < argc) {
      if (!parseValue(name, argv[++i], options, error)) return false;
    } else {
      error = "unknown option or missing value: " + name;
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!parseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "soak: %s\nTry 'soak --help'.\n", error.c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // Absolute paths survive the checker's change of folder.
  options.run.simPath = bench::absolutePath(options.run.simPath, error);
  options.run.checkerPath = bench::absolutePath(options.run.checkerPath, error);
  if (options.run.simPath.empty() || options.run.checkerPath.empty()) {
    std::fprintf(stderr, "soak: %s\n", error.c_str());
    return kExitUsage;
  }
  std::printf("soak: %d minutes per kind, seed %u\n%s at start\n", options.run.minutes,
              options.run.seed, bench::loadAverageText().c_str());
  std::fflush(stdout);
  std::vector<soak::SoakResult> results;
  for (ScaleKind kind : options.kinds) results.push_back(soak::runSoak(kind, options.run));
  std::printf("\n");
  const bool well = soak::printSoakReport(results);
  std::printf("%s at end\n", bench::loadAverageText().c_str());
  return well ? 0 : kExitFailed;
}
