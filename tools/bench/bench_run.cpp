#include "bench_run.h"

#include <signal.h>
#include <sys/stat.h>

#include <cstdio>

#include "checker_session.h"
#include "harness/sim_process.h"

namespace scalecheck::bench {
namespace {

// A loaded machine may take a while to start a program.
constexpr int kSimReadyLimitMs = 5000;
// Wine takes about 4 s to start a program, more when its session starts;
// a quiet poll about 2 s. Only a hang comes near these.
constexpr int kStartLimitMs = 60000;
constexpr int kPollLimitMs = 10000;
// Creating a Wine prefix takes several seconds; a hang far longer.
constexpr int kPrefixLimitMs = 300000;
// A program that has ended has closed its terminal within moments; Wine's
// session ends within seconds.
constexpr int kEndLimitMs = 30000;
// Wine maps COM1 and up to the Linux serial devices itself; the tests map
// 40 to 42 in their own prefix.
constexpr int kWineComNumber = 45;

std::string wineComLink(const RunSettings& settings) {
  return settings.winePrefix + "/dosdevices/com" + std::to_string(kWineComNumber);
}

std::vector<std::string> simArguments(BenchLink link, ScaleKind kind, const RunSettings& settings) {
  std::vector<std::string> arguments;
  if (link == BenchLink::kTcp) {
    arguments = {"--tcp", "127.0.0.1:0"};  // any free port
  } else {
    arguments = {"--pty",
                 link == BenchLink::kWine ? wineComLink(settings) : settings.workDir + "/com1"};
  }
  arguments.insert(arguments.end(),
                   {"--kind", kind == ScaleKind::kQuiet ? "stream" : kindName(kind), "--delay",
                    std::to_string(settings.answerDelayMs)});
  if (kind == ScaleKind::kQuiet) arguments.insert(arguments.end(), {"--fault", "silence"});
  return arguments;
}

// The program to start and its arguments.
std::vector<std::string> checkerCommand(BenchLink link, const harness::SimReady& ready,
                                        const RunSettings& settings, int count) {
  const std::string polls = std::to_string(count);
  switch (link) {
    case BenchLink::kPty:
      return {settings.checkerPath, "--port", ready.link, "--count", polls};
    case BenchLink::kTcp:
      return {settings.checkerPath, "--tcp", ready.host + ":" + std::to_string(ready.port),
              "--count", polls};
    case BenchLink::kWine:
      break;
  }
  return {settings.wineRun, settings.wineExe,
          "--port",         "COM" + std::to_string(kWineComNumber),
          "--count",        polls};
}

std::string fileName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void printLine(const RunResult& result, const ShownLine& line, double startMs) {
  std::printf("  %-4s %-9s %-4s at %9.1f ms\n", linkName(result.link), kindName(result.kind),
              line.tag.c_str(), line.atMs - startMs);
  std::fflush(stdout);
}

void readToEnd(CheckerSession& checker, const RunSettings& settings, RunResult& result) {
  const bool underWine = result.link == BenchLink::kWine;
  // /proc names a process by at most 15 characters.
  CpuWatch cpu = underWine ? CpuWatch(settings.winePrefix, fileName(settings.wineExe).substr(0, 15))
                           : CpuWatch(checker.pid());
  const int limitMs = kStartLimitMs + result.count * kPollLimitMs;
  const bool hung = checker.read(harness::Deadline(limitMs), [&](const ShownLine& line) {
    cpu.sample(line.atMs);
    if (settings.verbose) printLine(result, line, checker.startedAtMs());
  });
  if (hung) {
    result.error = "no end within " + std::to_string(limitMs) + " ms";
    // Ending the Windows program lets wine-run end its Wine session.
    if (underWine && cpu.program() > 0) kill(cpu.program(), SIGKILL);
  }
  result.exit = checker.finish(harness::Deadline(kEndLimitMs));
  result.lines = checker.screen().lines();
  result.cpu = cpu.shares();
  const double lifeMs = checker.endedAtMs() - checker.startedAtMs();
  if (!underWine && result.exit.exited && lifeMs > 0) {
    result.lifeCpu = 100.0 * cpuMsOf(result.exit.usage) / lifeMs;
  }
}

}  // namespace

const char* linkName(BenchLink link) {
  switch (link) {
    case BenchLink::kPty:
      return "pty";
    case BenchLink::kTcp:
      return "tcp";
    case BenchLink::kWine:
      return "wine";
  }
  return "?";
}

bool prepareWinePrefix(const RunSettings& settings, std::string& error) {
  struct stat info {};
  // wine-run makes the prefix on its first run of any program, which
  // --version ends at once.
  if (stat((settings.winePrefix + "/.scalecheck-ready").c_str(), &info) != 0) {
    std::string output;
    const harness::ExitStatus status =
        harness::runToEnd(settings.wineRun, {settings.wineExe, "--version"},
                          harness::Deadline(kPrefixLimitMs), output);
    if (!status.exited || status.code != 0) {
      error = "preparing the Wine prefix " + settings.winePrefix + " failed: " + output;
      return false;
    }
  }
  if (stat((settings.winePrefix + "/dosdevices").c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = settings.winePrefix + " has no dosdevices folder";
    return false;
  }
  return true;
}

RunResult runBench(BenchLink link, ScaleKind kind, const RunSettings& settings) {
  RunResult result;
  result.link = link;
  result.kind = kind;
  result.count = link == BenchLink::kWine ? settings.wineCount : settings.count;
  harness::SimProcess sim;
  if (!sim.start(settings.simPath, simArguments(link, kind, settings), result.error,
                 harness::Deadline(kSimReadyLimitMs))) {
    return result;
  }
  std::vector<std::string> command = checkerCommand(link, sim.ready(), settings, result.count);
  const std::string program = command.front();
  command.erase(command.begin());
  CheckerSession checker;
  if (!checker.start(program, command, settings.workDir)) {
    result.error = "cannot start " + program;
    return result;
  }
  readToEnd(checker, settings, result);
  return result;
}

}  // namespace scalecheck::bench
