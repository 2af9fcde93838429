#include "bench_run.h"

#include <time.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "harness/sim_process.h"
#include "link/scale_link.h"
#include "platform/services.h"
#include "protocol/acquisition.h"

namespace scalecheck::bench {
namespace {

// The poll loop's wait: polls start this long after the previous one has
// been handled, the keyboard looked at every 24 ms meanwhile.
constexpr std::uint64_t kPollPeriodMs = 1000;
constexpr std::uint32_t kLoopStepMs = 24;
// What the simulator's default frame says.
constexpr float kFrameWeight = 1.234F;
// A loaded machine may take a while to start a program.
constexpr int kSimReadyLimitMs = 5000;

double nowMs(clockid_t clock) {
  timespec now{};
  // clock_gettime: 0, or -1 with errno; both clocks exist on Linux.
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void waitLikeThePollLoop(platform::Clock& clock) {
  const std::uint64_t start = clock.tickCount64();
  do {
    clock.sleep(kLoopStepMs);
  } while (clock.tickCount64() - start < kPollPeriodMs);
}

AcquisitionMode modeOf(ScaleKind kind) {
  switch (kind) {
    case ScaleKind::kStream:
      return AcquisitionMode::kStream;
    case ScaleKind::kTwoStep:
      return AcquisitionMode::kTwoStep;
    case ScaleKind::kCombined:
      return AcquisitionMode::kCombined;
  }
  return AcquisitionMode::kNone;
}

bool isExpectedReading(const WeightReading& reading, ScaleKind kind) {
  return reading.acquisitionMode == modeOf(kind) && reading.unit == WeightUnit::kKilogram &&
         reading.stability == StabilityState::kStable &&
         std::fabs(reading.weight - kFrameWeight) < 1e-4F;
}

std::vector<std::string> simArguments(BenchLink link, ScaleKind kind, const RunSettings& settings) {
  std::vector<std::string> arguments;
  if (link == BenchLink::kPty) {
    arguments = {"--pty", settings.portDir + "/com1"};
  } else {
    arguments = {"--tcp", "127.0.0.1:0"};  // any free port
  }
  arguments.insert(arguments.end(),
                   {"--kind", kindName(kind), "--delay", std::to_string(settings.answerDelayMs)});
  return arguments;
}

// Link settings for the simulator that said it is `ready`.
bool linkSettingsFor(BenchLink link, const harness::SimReady& ready, LinkSettings& settings) {
  if (link == BenchLink::kPty) {
    settings.mode = LinkMode::kRs232;
    settings.comNumber = 1;  // $SCALECHECK_PORT_DIR/com1
    return true;
  }
  settings.mode = LinkMode::kTcp;
  // The host is 127.0.0.1, as asked for.
  if (ready.transport != "tcp" || ready.port > 65535 || ready.host.size() >= sizeof settings.host) {
    return false;
  }
  std::snprintf(settings.host, sizeof settings.host, "%s", ready.host.c_str());
  settings.tcpPort = static_cast<std::int32_t>(ready.port);
  return true;
}

void pollRepeatedly(ScaleLink& link, ScaleKind kind, const RunSettings& settings,
                    RunResult& result) {
  platform::Clock& clock = platform::systemClock();
  const double cpuStart = nowMs(CLOCK_PROCESS_CPUTIME_ID);
  const double wallStart = nowMs(CLOCK_MONOTONIC);
  for (int poll = 0; poll < settings.polls; ++poll) {
    waitLikeThePollLoop(clock);
    WeightReading reading;
    const double before = nowMs(CLOCK_MONOTONIC);
    const bool ok = pollReading(link, reading);
    const double took = nowMs(CLOCK_MONOTONIC) - before;
    result.pollMs.push_back(took);
    ++result.polls;
    if (ok) result.modes.insert(static_cast<int>(reading.acquisitionMode));
    if (ok && isExpectedReading(reading, kind)) ++result.good;
    if (settings.verbose) {
      std::printf("  %s %-9s poll %2d: %7.1f ms, %s mode %d, error %d\n", linkName(result.link),
                  kindName(kind), poll + 1, took, ok ? "read" : "failed",
                  static_cast<int>(reading.acquisitionMode), static_cast<int>(link.lastError()));
      std::fflush(stdout);
    }
  }
  result.cpuMs = nowMs(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
  result.wallMs = nowMs(CLOCK_MONOTONIC) - wallStart;
}

}  // namespace

const char* linkName(BenchLink link) {
  return link == BenchLink::kPty ? "pty" : "tcp";
}

const char* kindName(ScaleKind kind) {
  switch (kind) {
    case ScaleKind::kStream:
      return "stream";
    case ScaleKind::kTwoStep:
      return "two-step";
    case ScaleKind::kCombined:
      return "combined";
  }
  return "?";
}

RunResult runAgainstSimulator(BenchLink link, ScaleKind kind, const RunSettings& settings) {
  RunResult result;
  result.link = link;
  result.kind = kind;
  harness::SimProcess sim;
  if (!sim.start(settings.simPath, simArguments(link, kind, settings), result.error,
                 harness::Deadline(kSimReadyLimitMs))) {
    return result;
  }
  LinkSettings linkSettings;
  if (!linkSettingsFor(link, sim.ready(), linkSettings)) {
    result.error = "unexpected ready line: " + sim.readyLine();
    return result;
  }
  ScaleLink scale(linkSettings);
  // The link selects its own locale for the weights; our figures are
  // printed with a decimal point whatever that locale is. The link converts
  // numbers with its own code, not the C runtime's, so this changes nothing
  // for it.
  std::setlocale(LC_NUMERIC, "C");
  if (!scale.open()) {
    result.error = std::string("the link did not open (error ") +
                   std::to_string(static_cast<int>(scale.lastError())) + ")";
    return result;
  }
  pollRepeatedly(scale, kind, settings, result);
  scale.close();
  return result;
}

}  // namespace scalecheck::bench
