#include "console/polling_session.h"

#include <cstdio>
#include <memory>
#include <string>

#include "console/file_watch.h"
#include "console/line_settings.h"
#include "console/measurement_log.h"
#include "console/open_failure_reason.h"
#include "console/poll_cause_text.h"
#include "console/poll_loop.h"
#include "console/poll_tally.h"
#include "console/reading_line.h"
#include "console/run_events.h"
#include "console/system_text.h"
#include "console/traffic_trace.h"
#include "console/version.h"
#include "console/write_text.h"
#include "platform/cp1251.h"

namespace scalecheck::console {
namespace {

using platform::cp1251;
using platform::FailureKind;

constexpr auto kCannotConnect = cp1251("Не смог подключиться к весам. ");

// The line break before it ends the line shown so far; the failure itself
// goes where failures go.
void reportOpenFailure(const ScaleLink& link, platform::Console& console) {
  char message[kErrorTextSize];
  std::int32_t detail = 0;
  link.errorText(message, &detail);
  char number[16];
  std::snprintf(number, sizeof number, "%d, ", static_cast<int>(detail));
  writeText(console, "\r\n");
  writeErrorText(console, kCannotConnect.c_str() + std::string(number) + message);
}

// Why the open failed, from the link's OS error and what the system says
// about the port now.
std::string openFailureReason(const ScaleLink& link, PortFacts& ports) {
  if (link.settings().mode == LinkMode::kTcp) {
    return tcpConnectFailureText(link.settings(), link.osError(), TcpTransport::kConnectWindowMs);
  }
  const std::string device = link.linkTarget();
  SerialOpenFailure failure;
  failure.tried = ports.describe(device);
  failure.error = link.osError();
  failure.settings = link.settings();
  if (failure.error.kind == FailureKind::kNoDevice) failure.ports = ports.listPorts();
  if (failure.error.kind == FailureKind::kBusy) failure.holders = ports.holders(device);
  if (failure.error.kind == FailureKind::kNoPermission) {
    failure.missingGroup = ports.missingGroup(device);
  }
  return serialOpenFailureText(failure);
}

// Another program that has the port open reads what the scale sends before
// the checker can: the operator is told once, and polling goes on.
bool warnOfOtherHolders(const ScaleLink& link, platform::Console& console, PortFacts& ports) {
  if (link.settings().mode != LinkMode::kRs232) return false;
  const std::string device = link.linkTarget();
  const std::string warning = otherHoldersWarning(device, ports.holders(device));
  if (warning.empty()) return false;
  writeText(console, warning);
  return true;
}

// The trace's first lines: when, which program, what link.
void traceHeading(TrafficTrace& trace, platform::Clock& clock, const ScaleLink& link) {
  char stamp[kTimeStampSize];
  formatTimeStamp(clock.localTime(), stamp);
  // The trace is ASCII: a letter of another alphabet in the name shows as '?'.
  trace.comment(std::string(stamp) + " scalecheck " + programVersion() + ", " +
                shownName(linkDescription(link)));
  trace.comment("ms since the start; > sent to the scale, < received from it; hex |text|");
}

std::string outcomeNote(std::uint64_t poll, const PollOutcome& outcome) {
  std::string note = "poll " + std::to_string(poll) + ": ";
  if (outcome.gotReading) return note + "reading " + wayName(outcome.reading.acquisitionMode);
  note += "failed";
  if (outcome.errorDetail != 0) note += ", " + std::to_string(outcome.errorDetail);
  const std::string cause = causeTraceText(outcome.report);
  return cause.empty() ? note : note + ", " + cause;
}

// What the session does around each poll: counts it, traces its start and
// outcome, tells of it as an event (with --events), tells of data files
// that changed, and ends the run at the limit.
class SessionPolls final : public PollListener {
 public:
  SessionPolls(platform::Console& console, FileWatch& files, TrafficTrace* trace, RunEvents* events,
               std::uint32_t limit)
      : console_(console), files_(files), trace_(trace), events_(events), limit_(limit) {}

  void pollStarting() override {
    if (trace_ != nullptr) trace_->note("poll " + std::to_string(tally_.polls() + 1));
  }

  bool pollsShownByTheLoop() const override { return events_ == nullptr; }

  bool pollEnded(const PollOutcome& outcome) override {
    if (outcome.gotReading) {
      tally_.noteReading(outcome.reading.acquisitionMode);
    } else {
      tally_.noteFailure(outcome.errorDetail, outcome.report);
    }
    if (trace_ != nullptr) trace_->note(outcomeNote(tally_.polls(), outcome));
    if (events_ != nullptr) events_->polled(outcome);
    checkFiles();
    return limit_ == 0 || tally_.polls() < limit_;
  }

  void checkFiles() {
    if (events_ != nullptr) {
      events_->filesChanged(files_.changes());
    } else {
      files_.check(console_);
    }
  }

  const PollTally& tally() const { return tally_; }

 private:
  platform::Console& console_;
  FileWatch& files_;
  TrafficTrace* trace_;
  RunEvents* events_;
  std::uint32_t limit_;
  PollTally tally_;
};

// The trace of a run, when one is asked for: its file, and what writes
// every byte the link passes into it.
struct RunTrace {
  std::unique_ptr<RecordFile> file;
  std::unique_ptr<TrafficTrace> writer;
};

RunTrace startTrace(const std::string& path, platform::Services& services, ScaleLink& link) {
  RunTrace trace;
  if (path.empty()) return trace;
  trace.file = std::make_unique<RecordFile>(services.files, path.c_str());
  trace.writer = std::make_unique<TrafficTrace>(services.clock, *trace.file);
  traceHeading(*trace.writer, services.clock, link);
  link.observeTraffic(trace.writer.get());
  return trace;
}

// The polls, with the data files watched, then the records still waiting
// written or counted as lost, and the summary.
PollTally pollUntilTheEnd(ScaleLink& link, platform::Console& console, platform::Services& services,
                          const SessionOptions& options) {
  RecordFile measurementLog(services.files, kMeasurementLogPath);
  FileWatch watch;
  watch.watch(measurementLog, kMeasurementLogPath);
  watch.watch(link.deviceDump(), kDeviceDumpPath);
  const RunTrace trace = startTrace(options.tracePath, services, link);
  if (trace.file) watch.watch(*trace.file, options.tracePath);
  std::unique_ptr<RunEvents> events;
  if (options.events) {
    events = std::make_unique<RunEvents>(console, services.clock, link);
    events->started(linkDescription(link));
    link.observeConnection(events.get());
  }

  SessionPolls polls(console, watch, trace.writer.get(), events.get(), options.pollLimit);
  polls.checkFiles();  // a trace file unwritable from its first line
  runPollLoop(link, console, services.clock, measurementLog, &polls);
  link.observeTraffic(nullptr);
  link.observeConnection(nullptr);
  if (trace.writer) {
    trace.writer->note("end after " + std::to_string(polls.tally().polls()) + " polls");
  }
  std::string closing = watch.finish() + polls.tally().summary();
  if (events) {
    events->ended(polls.tally());
    closing.erase(0, 2);  // the last event ended its line
  }
  writeText(console, closing);
  return polls.tally();
}

}  // namespace

bool openOrExplain(ScaleLink& link, platform::Console& console, PortFacts& ports) {
  if (link.open()) return true;
  reportOpenFailure(link, console);
  writeErrorText(console, openFailureReason(link, ports));
  return false;
}

std::string linkDescription(const ScaleLink& link) {
  // The device as the operator named it, or the system maps it, in the
  // console's code page.
  const std::string peer = shownArgument(link.linkTarget());
  if (link.settings().mode == LinkMode::kTcp) return peer + " (TCP)";
  return peer + ", " + lineSettingsText(link.settings());
}

SessionEnd runPollingSession(ScaleLink& link, platform::Console& console,
                             platform::Services& services, PortFacts& ports,
                             const SessionOptions& options) {
  if (!openOrExplain(link, console, ports)) return SessionEnd::kNotOpened;
  const bool warned = warnOfOtherHolders(link, console, ports);
  if (warned || options.readingsOnNewLine) writeText(console, "\r\n");
  const PollTally tally = pollUntilTheEnd(link, console, services, options);
  if (tally.bytesWithoutFrame()) writeText(console, detectSuggestion(link.settings()));
  link.close();
  return tally.readings() > 0 ? SessionEnd::kReadings : SessionEnd::kNoReading;
}

}  // namespace scalecheck::console
