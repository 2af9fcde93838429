// link-bench: polls scale-sim through a ScaleLink, over a pseudo-terminal
// and over TCP, for each kind of scale, and sets the time each poll takes
// against the timeline the checker's waits and limits imply, and the
// processor time the checker used against the wall time.

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_report.h"
#include "bench_run.h"

namespace {

using namespace scalecheck::bench;

constexpr int kExitMissed = 1;
constexpr int kExitUsage = 2;
constexpr int kMaxPolls = 10000;
constexpr int kMaxDelayMs = 1000;

const char kUsage[] =
    "Usage: link-bench [options]\n"
    "\n"
    "Starts scale-sim as each kind of scale (stream, two-step, combined), on a\n"
    "pseudo-terminal (as COM1 through SCALECHECK_PORT_DIR) and on a TCP port of\n"
    "127.0.0.1, polls it through the link as the program's poll loop does (a\n"
    "1000 ms wait in 24 ms steps, then a poll) and reports per kind and link the\n"
    "wall time of a poll, its distance from the expected timeline, and the\n"
    "processor time this program used.\n"
    "\n"
    "Options:\n"
    "  --polls N       polls per kind and link (default 20)\n"
    "  --delay MS      the scale's answer delay (default 20)\n"
    "  --link L        pty, tcp or both (default both)\n"
    "  --kind K        stream, two-step, combined or all (default all)\n"
    "  --sim PATH      the scale-sim program (default: beside link-bench)\n"
    "  --check         exit with status 1 when a target is missed\n"
    "  -v, --verbose   a line for every poll\n"
    "  -h, --help      this text\n"
    "\n"
    "Exit status: 0 (also when a target is missed, unless --check), 1 for a\n"
    "missed target with --check, 2 for bad options or no temporary folder.\n";

struct Options {
  RunSettings run;
  std::vector<BenchLink> links{BenchLink::kPty, BenchLink::kTcp};
  std::vector<ScaleKind> kinds{ScaleKind::kStream, ScaleKind::kTwoStep, ScaleKind::kCombined};
  bool check = false;
  bool help = false;
};

bool parseCount(const char* text, int low, int high, int& value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high) return false;
  value = static_cast<int>(parsed);
  return true;
}

bool parseLinks(const std::string& text, std::vector<BenchLink>& links) {
  const bool pty = text == "pty" || text == "both";
  const bool tcp = text == "tcp" || text == "both";
  if (!pty && !tcp) return false;
  links.clear();
  if (pty) links.push_back(BenchLink::kPty);
  if (tcp) links.push_back(BenchLink::kTcp);
  return true;
}

bool parseKinds(const std::string& text, std::vector<ScaleKind>& kinds) {
  const ScaleKind all[] = {ScaleKind::kStream, ScaleKind::kTwoStep, ScaleKind::kCombined};
  kinds.clear();
  for (ScaleKind kind : all) {
    if (text == "all" || text == kindName(kind)) kinds.push_back(kind);
  }
  return !kinds.empty();
}

// The program beside this one, as the build puts them.
std::string defaultSimPath(const char* argv0) {
  const std::string self = argv0 != nullptr ? argv0 : "";
  const std::size_t slash = self.rfind('/');
  return slash == std::string::npos ? "scale-sim" : self.substr(0, slash + 1) + "scale-sim";
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
  options.run.simPath = defaultSimPath(argc > 0 ? argv[0] : nullptr);
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    const bool hasValue = i + 1 < argc;
    if (name == "-h" || name == "--help") {
      options.help = true;
    } else if (name == "--check") {
      options.check = true;
    } else if (name == "-v" || name == "--verbose") {
      options.run.verbose = true;
    } else if (name == "--polls" && hasValue) {
      if (!parseCount(argv[++i], 1, kMaxPolls, options.run.polls)) {
        error = "--polls wants a number from 1 to " + std::to_string(kMaxPolls);
        return false;
      }
    } else if (name == "--delay" && hasValue) {
      if (!parseCount(argv[++i], 0, kMaxDelayMs, options.run.answerDelayMs)) {
        error = "--delay wants milliseconds from 0 to " + std::to_string(kMaxDelayMs);
        return false;
      }
    } else if (name == "--link" && hasValue) {
      if (!parseLinks(argv[++i], options.links)) {
        error = "--link wants pty, tcp or both";
        return false;
      }
    } else if (name == "--kind" && hasValue) {
      if (!parseKinds(argv[++i], options.kinds)) {
        error = "--kind wants stream, two-step, combined or all";
        return false;
      }
    } else if (name == "--sim" && hasValue) {
      options.run.simPath = argv[++i];
    } else {
      error = "unknown option or missing value: " + name;
      return false;
    }
  }
  return true;
}

// A private folder for the port link and the dump file the polls write.
bool makeWorkFolder(std::string& folder, std::string& error) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/link-bench.XXXXXX";
  // mkdtemp: the pattern filled in, or null with errno.
  if (mkdtemp(pattern.data()) == nullptr) {
    error = "cannot make a temporary folder: " + std::string(std::strerror(errno));
    return false;
  }
  folder = pattern;
  return true;
}

void removeWorkFolder(const std::string& folder) {
  // unlink, rmdir: 0, or -1 with errno. The dump may not exist (no poll
  // succeeded); a folder left behind in the temporary area does no harm.
  static_cast<void>(unlink((folder + "/#DeviceIO").c_str()));
  static_cast<void>(rmdir(folder.c_str()));
}

void printHeader(const Options& options, const ScalePace& pace) {
  double load[3] = {};
  std::printf(
      "link-bench: %d polls per kind and link, answer delay %d ms, 9600 baud, %d-byte "
      "frames\n",
      options.run.polls, options.run.answerDelayMs, pace.frameBytes);
  // getloadavg: the number of samples, or -1.
  if (getloadavg(load, 3) == 3) {
    std::printf("load average at start: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  }
  std::fflush(stdout);
}

void printLoadAtEnd() {
  double load[3] = {};
  if (getloadavg(load, 3) == 3) {
    std::printf("load average at end: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!parseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "link-bench: %s\nTry 'link-bench --help'.\n", error.c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // The path must survive the change of folder below.
  char* simPath = realpath(options.run.simPath.c_str(), nullptr);
  // realpath: the absolute path (ours to free), or null with errno.
  if (simPath == nullptr) {
    std::fprintf(stderr, "link-bench: %s: %s (see --sim)\n", options.run.simPath.c_str(),
                 std::strerror(errno));
    return kExitUsage;
  }
  options.run.simPath = simPath;
  std::free(simPath);
  std::string folder;
  if (!makeWorkFolder(folder, error)) {
    std::fprintf(stderr, "link-bench: %s\n", error.c_str());
    return kExitUsage;
  }
  // COM1 is the simulator's link in our folder; the dump file of the polls
  // lands there too, not wherever the bench was started.
  // setenv, chdir: 0, or -1 with errno.
  if (setenv("SCALECHECK_PORT_DIR", folder.c_str(), 1) != 0 || chdir(folder.c_str()) != 0) {
    std::fprintf(stderr, "link-bench: cannot use %s: %s\n", folder.c_str(), std::strerror(errno));
    removeWorkFolder(folder);
    return kExitUsage;
  }
  options.run.portDir = folder;
  ScalePace pace;
  pace.answerDelayMs = options.run.answerDelayMs;
  printHeader(options, pace);

  std::vector<RunResult> results;
  for (BenchLink link : options.links) {
    for (ScaleKind kind : options.kinds) {
      results.push_back(runAgainstSimulator(link, kind, options.run));
    }
  }
  removeWorkFolder(folder);
  std::printf("\n");
  const bool met = printReport(results, pace);
  printLoadAtEnd();
  return options.check && !met ? kExitMissed : 0;
}
