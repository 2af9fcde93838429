#include "soak_run.h"

#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "checker_output.h"
#include "checker_session.h"
#include "harness/sim_process.h"
#include "proc_stats.h"
#include "work_folder.h"

namespace scalecheck::soak {
namespace {

using bench::CheckerSession;
using bench::monotonicMs;

// A loaded machine may take a while to start a program.
constexpr int kSimReadyLimitMs = 5000;
// A killed simulator is gone within moments.
constexpr int kSimGoneLimitMs = 2000;
// Esc acts after the poll under way (about 2.5 s at most) and the run ends
// with its summary; only a hang comes near this.
constexpr int kEndLimitMs = 20000;
constexpr char kEsc[] = "\x1b";

// The simulated scale on the port link, which can be pulled out and put
// back as a USB adapter can.
class Scale {
 public:
  Scale(const SoakSettings& settings, bench::ScaleKind kind, std::string link)
      : settings_(settings), kind_(kind), link_(std::move(link)) {}

  bool plugIn(std::string& error) {
    sim_ = std::make_unique<harness::SimProcess>();
    const std::vector<std::string> arguments{"--pty", link_, "--kind", bench::kindName(kind_)};
    return sim_->start(settings_.simPath, arguments, error, harness::Deadline(kSimReadyLimitMs));
  }

  // Killed, not ended: its link stays behind pointing at a terminal that
  // has gone, as a pulled adapter leaves its name.
  void pullOut() {
    sim_->signal(SIGKILL);
    sim_->wait(harness::Deadline(kSimGoneLimitMs));
    sim_.reset();
  }

  bool command(const std::string& line) { return sim_ != nullptr && sim_->command(line); }

 private:
  const SoakSettings& settings_;
  bench::ScaleKind kind_;
  std::string link_;
  std::unique_ptr<harness::SimProcess> sim_;
};

bool beginFault(Scale& scale, FaultKind kind) {
  switch (kind) {
    case FaultKind::kSilence:
      return scale.command("fault silence");
    case FaultKind::kGarbage:
      return scale.command("fault garbage");
    case FaultKind::kPause:
      return scale.command("pause");
    case FaultKind::kUnplug:
      scale.pullOut();
      return true;
  }
  return false;
}

bool endFault(Scale& scale, FaultKind kind, std::string& error) {
  switch (kind) {
    case FaultKind::kSilence:
    case FaultKind::kGarbage:
      return scale.command("fault none");
    case FaultKind::kPause:
      return scale.command("resume");
    case FaultKind::kUnplug:
      return scale.plugIn(error);
  }
  return false;
}

// Runs the checker through faults until `endAtMs`; false with the reason
// when the run could not go on.
class FaultRun {
 public:
  FaultRun(CheckerSession& checker, Scale& scale, const SoakSettings& settings, SoakResult& result)
      : checker_(checker), scale_(scale), settings_(settings), result_(result) {}

  bool until(double endAtMs, FaultSchedule& schedule) {
    for (;;) {
      const Fault fault = schedule.next();
      const double startAt = monotonicMs() + fault.afterMs;
      if (startAt + fault.holdMs >= endAtMs) return readUntil(endAtMs);
      if (!readUntil(startAt)) return false;
      say(fault, "begins");
      if (!beginFault(scale_, fault.kind)) return failed(fault, "could not begin");
      ++result_.faults[fault.kind];
      if (!readUntil(monotonicMs() + fault.holdMs)) return false;
      say(fault, "ends");
      std::string error;
      if (!endFault(scale_, fault.kind, error)) return failed(fault, "could not end: " + error);
    }
  }

 private:
  bool readUntil(double atMs) {
    const double left = std::max(0.0, atMs - monotonicMs());
    const bool going = checker_.read(harness::Deadline(static_cast<int>(left)),
                                     [this](const bench::ShownLine&) { noteMemory(); });
    if (!going) result_.error = "the checker ended before it was asked to";
    return going;
  }

  void noteMemory() {
    const long peak = bench::peakResidentKiB(checker_.pid());
    if (result_.firstResidentKiB < 0) result_.firstResidentKiB = peak;
    result_.peakResidentKiB = std::max(result_.peakResidentKiB, peak);
  }

  void say(const Fault& fault, const char* what) const {
    if (!settings_.verbose) return;
    std::printf("  %-9s %7.1f s: %s %s\n", bench::kindName(result_.kind),
                (monotonicMs() - checker_.startedAtMs()) / 1000, faultName(fault.kind), what);
    std::fflush(stdout);
  }

  bool failed(const Fault& fault, const std::string& what) {
    result_.error = std::string(faultName(fault.kind)) + " " + what;
    return false;
  }

  CheckerSession& checker_;
  Scale& scale_;
  const SoakSettings& settings_;
  SoakResult& result_;
};

void collect(const CheckerSession& checker, const std::string& folder, SoakResult& result) {
  result.lines = checker.screen().lines();
  parseSummary(checker.screen().text(), result.summaryPolls, result.summaryReadings);
  result.logRecords = countLogRecords(folder + "/#Log.csv");
  result.dumpBlocks = countDumpBlocks(folder + "/#DeviceIO");
  result.wallMs = checker.endedAtMs() - checker.startedAtMs();
  if (!result.exit.exited || result.wallMs <= 0) return;
  result.cpuShare = 100.0 * bench::cpuMsOf(result.exit.usage) / result.wallMs;
}

void runInFolder(bench::ScaleKind kind, const SoakSettings& settings, const std::string& folder,
                 SoakResult& result) {
  const std::string link = folder + "/com1";
  Scale scale(settings, kind, link);
  if (!scale.plugIn(result.error)) return;
  CheckerSession checker;
  if (!checker.start(settings.checkerPath, {"--port", link}, folder)) {
    result.error = "cannot start " + settings.checkerPath;
    return;
  }
  // Each kind its own series, the same again for the same seed.
  FaultSchedule schedule(settings.seed + static_cast<unsigned>(kind));
  FaultRun run(checker, scale, settings, result);
  const bool ran = run.until(checker.startedAtMs() + settings.minutes * 60000.0, schedule);
  if (ran) checker.type(kEsc);
  result.exit = checker.finish(harness::Deadline(kEndLimitMs));
  collect(checker, folder, result);
}

}  // namespace

SoakResult runSoak(bench::ScaleKind kind, const SoakSettings& settings) {
  SoakResult result;
  result.kind = kind;
  std::string folder;
  if (!bench::makeWorkFolder("soak", folder, result.error)) return result;
  runInFolder(kind, settings, folder, result);
  bench::removeWorkFolder(folder);
  return result;
}

}  // namespace scalecheck::soak
