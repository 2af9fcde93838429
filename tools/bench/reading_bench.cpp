// reading-bench: runs the built checker against scale-sim for each kind of
// scale, over a pseudo-terminal and over TCP on Linux and, when asked, the
// Windows build under Wine, reads its terminal as the operator would, and
// sets the interval between two readings as they appear against the
// timeline the checker's waits imply, and the checker's processor time
// against the wall time.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_report.h"
#include "bench_run.h"
#include "tool_args.h"
#include "work_folder.h"

namespace {

using namespace scalecheck::bench;

constexpr int kExitMissed = 1;
constexpr int kExitUsage = 2;
constexpr int kMaxPolls = 10000;
// Under Wine all readings must fit on one line of the terminal (2000
// columns, about 19 a reading): its console draws a wrapped line again.
constexpr int kMaxWinePolls = 90;
constexpr int kMaxDelayMs = 1000;

const char kUsage[] =
    "Usage: reading-bench [options]\n"
    "\n"
    "Starts scale-sim as each kind of scale (stream, two-step, combined, and a\n"
    "quiet one that sends nothing), runs the checker against it with --count in a\n"
    "pseudo-terminal, and times each poll line as it appears there: on Linux\n"
    "through a pseudo-terminal (--port) and through TCP on 127.0.0.1 (--tcp),\n"
    "and, with --wine-exe, the Windows build under Wine on a pseudo-terminal\n"
    "mapped as COM45. Reports per kind and link the interval between two\n"
    "readings, its distance from the timeline the checker's waits imply (the\n"
    "loop's 1008 ms and the poll), and the checker's processor time as a share\n"
    "of one core (under Wine also that of wineserver and the rest of the Wine\n"
    "session, from the first line shown to the last, without Wine's start-up).\n"
    "\n"
    "Options:\n"
    "  --count N        polls a run on Linux (default 10)\n"
    "  --wine-count N   polls a run under Wine (default 6, at most 90)\n"
    "  --delay MS       the scale's answer delay (default 20)\n"
    "  --link L         pty, tcp, wine, linux (pty and tcp) or all (default all;\n"
    "                   wine only with --wine-exe)\n"
    "  --kind K         stream, two-step, combined, quiet or all (default all)\n"
    "  --checker PATH   the Linux scalecheck (default: beside reading-bench)\n"
    "  --sim PATH       scale-sim (default: beside reading-bench)\n"
    "  --wine-exe PATH  the Windows scalecheck.exe, run through --wine-run\n"
    "  --wine-run PATH  scripts/wine-run; the runs use the Wine prefix\n"
    "                   wineprefix-bench beside the exe (made on first use)\n"
    "  --check          exit with status 1 when a target is missed\n"
    "  -v, --verbose    each poll line as it appears\n"
    "  -h, --help       this text\n"
    "\n"
    "Targets: on Linux every poll a reading in its kind's way, the median interval\n"
    "within 2 ms of its timeline and none further than 10 ms, the checker's CPU\n"
    "under 0.5% of a core; under Wine the checker's CPU under 2.5%.\n"
    "\n"
    "Exit status: 0 (also when a target is missed, unless --check), 1 for a\n"
    "missed target with --check, 2 for bad options or no temporary folder.\n";

const std::vector<ScaleKind> kAllKinds{ScaleKind::kStream, ScaleKind::kTwoStep,
                                       ScaleKind::kCombined, ScaleKind::kQuiet};

struct Options {
  RunSettings run;
  std::vector<BenchLink> links{BenchLink::kPty, BenchLink::kTcp, BenchLink::kWine};
  std::vector<ScaleKind> kinds = kAllKinds;
  bool check = false;
  bool help = false;
};

bool parseLinks(const std::string& text, std::vector<BenchLink>& links) {
  const bool all = text == "all";
  const bool linux = all || text == "linux";
  links.clear();
  if (linux || text == "pty") links.push_back(BenchLink::kPty);
  if (linux || text == "tcp") links.push_back(BenchLink::kTcp);
  if (all || text == "wine") links.push_back(BenchLink::kWine);
  return !links.empty();
}

bool parseValue(const std::string& name, const char* value, Options& options, std::string& error) {
  RunSettings& run = options.run;
  bool ok = true;
  if (name == "--count") {
    ok = parseCount(value, 2, kMaxPolls, run.count);
    if (!ok) error = "--count wants a number from 2 to " + std::to_string(kMaxPolls);
  } else if (name == "--wine-count") {
    ok = parseCount(value, 2, kMaxWinePolls, run.wineCount);
    if (!ok) error = "--wine-count wants a number from 2 to " + std::to_string(kMaxWinePolls);
  } else if (name == "--delay") {
    ok = parseCount(value, 0, kMaxDelayMs, run.answerDelayMs);
    if (!ok) error = "--delay wants milliseconds from 0 to " + std::to_string(kMaxDelayMs);
  } else if (name == "--link") {
    ok = parseLinks(value, options.links);
    if (!ok) error = "--link wants pty, tcp, wine, linux or all";
  } else if (name == "--kind") {
    ok = parseKinds(value, kAllKinds, options.kinds);
    if (!ok) error = "--kind wants stream, two-step, combined, quiet or all";
  } else if (name == "--checker") {
    run.checkerPath = value;
  } else if (name == "--sim") {
    run.simPath = value;
  } else if (name == "--wine-exe") {
    run.wineExe = value;
  } else if (name == "--wine-run") {
    run.wineRun = value;
  } else {
    error = "unknown option: " + name;
    ok = false;
  }
  return ok;
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
  const char* self = argc > 0 ? argv[0] : nullptr;
  options.run.simPath = besideProgram(self, "scale-sim");
  options.run.checkerPath = besideProgram(self, "scalecheck");
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "-h" || name == "--help") {
      options.help = true;
    } else if (name == "--check") {
      options.check = true;
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

// The programs by absolute paths, which survive the checker's change of
// folder; no Wine runs without the Windows program.
bool resolvePrograms(Options& options, std::string& error) {
  RunSettings& run = options.run;
  run.simPath = absolutePath(run.simPath, error);
  run.checkerPath = absolutePath(run.checkerPath, error);
  if (run.simPath.empty() || run.checkerPath.empty()) return false;
  if (run.wineExe.empty()) {
    std::vector<BenchLink>& links = options.links;
    links.erase(std::remove(links.begin(), links.end(), BenchLink::kWine), links.end());
    if (links.empty()) error = "no links to run: --link wine needs --wine-exe";
    return !links.empty();
  }
  run.wineExe = absolutePath(run.wineExe, error);
  run.wineRun = absolutePath(run.wineRun.empty() ? "wine-run" : run.wineRun, error);
  if (run.wineExe.empty() || run.wineRun.empty()) return false;
  run.winePrefix = run.wineExe.substr(0, run.wineExe.rfind('/')) + "/wineprefix-bench";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!parseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "reading-bench: %s\nTry 'reading-bench --help'.\n", error.c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!resolvePrograms(options, error) ||
      !makeWorkFolder("reading-bench", options.run.workDir, error)) {
    std::fprintf(stderr, "reading-bench: %s\n", error.c_str());
    return kExitUsage;
  }
  // wine-run, and the sessions it starts, use the bench's own prefix:
  // wineserver serves this checker alone while it is measured.
  if (!options.run.winePrefix.empty() &&
      setenv("SCALECHECK_WINEPREFIX", options.run.winePrefix.c_str(), 1) != 0) {
    std::perror("reading-bench: setenv");
    return kExitUsage;
  }
  ScalePace pace;
  pace.answerDelayMs = options.run.answerDelayMs;
  std::printf(
      "reading-bench: %d polls a run on Linux, %d under Wine; answer delay %d ms, 9600 "
      "baud, %d-byte frames\n%s at start\n",
      options.run.count, options.run.wineCount, options.run.answerDelayMs, pace.frameBytes,
      loadAverageText().c_str());
  std::fflush(stdout);

  std::vector<RunResult> results;
  for (BenchLink link : options.links) {
    std::string wineError;
    const bool usable = link != BenchLink::kWine || prepareWinePrefix(options.run, wineError);
    for (ScaleKind kind : options.kinds) {
      if (usable) {
        results.push_back(runBench(link, kind, options.run));
      } else {
        RunResult notRun;
        notRun.link = link;
        notRun.kind = kind;
        notRun.error = wineError;
        results.push_back(notRun);
      }
    }
  }
  removeWorkFolder(options.run.workDir);
  std::printf("\n");
  const bool met = printReport(results, pace);
  std::printf("%s at end\n", loadAverageText().c_str());
  return options.check && !met ? kExitMissed : 0;
}
