// scale-sim: a weighing scale for a pseudo-terminal, a serial device or a
// TCP port, so that scalecheck can be tried and tested without one.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "activity_log.h"
#include "device_endpoint.h"
#include "event_loop.h"
#include "frames_file.h"
#include "monotonic_clock.h"
#include "options.h"
#include "pty_endpoint.h"
#include "signals.h"
#include "simulator.h"
#include "tcp_endpoint.h"
#include "usage.h"

namespace {

using namespace scalecheck::sim;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

std::unique_ptr<Endpoint> openEndpoint(const SimOptions& options, std::string& error) {
  switch (options.link) {
    case LinkKind::kPty:
      return PtyEndpoint::open(options.linkPath, options.line, error);
    case LinkKind::kDevice:
      return DeviceEndpoint::open(options.linkPath, options.line, error);
    case LinkKind::kTcp:
      return TcpEndpoint::open(options.tcpHost, options.tcpPort, error);
    case LinkKind::kNone:
      break;
  }
  error = "no link given";
  return nullptr;
}

int usageError(const std::string& error) {
  std::fprintf(stderr, "scale-sim: %s\nTry 'scale-sim --help'.\n", error.c_str());
  return kExitUsage;
}

int failure(const std::string& error) {
  std::fprintf(stderr, "scale-sim: %s\n", error.c_str());
  return kExitFailure;
}

int run(const SimOptions& options, std::vector<std::string> frames) {
  SignalRequests signals;
  std::string error;
  if (!signals.install(error)) return failure(error);
  const std::unique_ptr<Endpoint> endpoint = openEndpoint(options, error);
  if (!endpoint) return failure(error);
  const Nanos start = monotonicNow();
  ActivityLog log(start, options.verbose);
  Simulator simulator(options, std::move(frames), start, log);
  ActivityLog::printLine(endpoint->readyLine());
  log.activity(start, endpoint->readyLine());
  // The endpoint's destructor removes the pty symlink on every way out.
  return runEventLoop(*endpoint, simulator, signals, log);
}

}  // namespace

int main(int argc, char** argv) {
  const ParsedCommandLine parsed = parseCommandLine(argc, argv);
  if (parsed.outcome == ParseOutcome::kHelp) {
    std::fputs(usageText(), stdout);
    return 0;
  }
  if (parsed.outcome == ParseOutcome::kVersion) {
    std::puts("scale-sim " SCALECHECK_VERSION);
    return 0;
  }
  if (parsed.outcome == ParseOutcome::kError) return usageError(parsed.error);
  std::vector<std::string> frames;
  std::string error;
  if (!parsed.options.framesFile.empty() && !loadFrames(parsed.options.framesFile, frames, error)) {
    return usageError("--frames: " + error);
  }
  return run(parsed.options, std::move(frames));
}
