#include "console/run_events.h"

#include <algorithm>
#include <cstdio>

#include "console/poll_cause_text.h"
#include "console/reading_line.h"
#include "console/system_text.h"
#include "console/write_text.h"
#include "platform/numeric_locale.h"

namespace scalecheck::console {
namespace {

const char* stabilityWord(StabilityState stability) {
  switch (stability) {
    case StabilityState::kStable:
      return "stable";
    case StabilityState::kUnstable:
      return "unstable";
    case StabilityState::kNotStated:
      break;
  }
  return "-";
}

const char* unitWord(WeightUnit unit) {
  switch (unit) {
    case WeightUnit::kMilligram:
      return "mg";
    case WeightUnit::kGram:
      return "g";
    case WeightUnit::kKilogram:
      return "kg";
    case WeightUnit::kTonne:
      return "t";
    case WeightUnit::kNotStated:
      break;
  }
  return "-";
}

// The weight as the log shows it, but with a decimal point: awk, sort -g
// and most other tools read a number with a point whatever their locale,
// and would read "1,234" as 1.
std::string eventWeight(const WeightReading& reading) {
  char text[kWeightTextSize];
  formatReadingWeight(reading, text);
  std::string weight = text;
  std::replace(weight.begin(), weight.end(), platform::decimalSeparator(), '.');
  return weight;
}

// `words`, then the OS's reason when it has one.
std::string withReason(const std::string& words, const platform::OsError& error) {
  const std::string reason = osText(error);
  return reason.empty() ? words : words + " " + reason;
}

bool sameError(const platform::OsError& a, const platform::OsError& b) {
  return a.kind == b.kind && a.code == b.code && a.domain == b.domain;
}

}  // namespace

std::string eventTime(const platform::CalendarTime& time) {
  // Each field is clamped to its width, so no clock value can widen the stamp.
  auto clamp = [](int value, int high) { return std::min(std::max(value, 0), high); };
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", clamp(time.year, 9999),
                clamp(time.month, 99), clamp(time.day, 99), clamp(time.hour, 99),
                clamp(time.minute, 99), clamp(time.second, 99), clamp(time.millisecond, 999));
  return text;
}

std::string pollEvent(const PollOutcome& outcome) {
  if (outcome.gotReading) {
    const WeightReading& reading = outcome.reading;
    return std::string("reading ") + wayName(reading.acquisitionMode) + " " +
           stabilityWord(reading.stability) + " " + eventWeight(reading) + " " +
           unitWord(reading.unit);
  }
  const PollReport& report = outcome.report;
  std::string cause = causeKeyword(report.cause, report.rejection);
  if (cause.empty()) cause = "-";
  const std::string words = "failed " + std::to_string(outcome.errorDetail) + " " + cause;
  return lostConnection(report.cause) ? withReason(words, report.osError) : words;
}

RunEvents::RunEvents(platform::Console& console, platform::Clock& clock, const ScaleLink& link)
    : console_(console), clock_(clock), link_(link) {}

void RunEvents::started(const std::string& link) {
  write(clock_.localTime(), "start " + link);
}

void RunEvents::polled(const PollOutcome& outcome) {
  if (!lostAt_ && link_.connectionLost()) {
    lostAt_ = clock_.tickCount64();
    const PollCause cause = lossCause(link_.transport());
    write(outcome.endedAt,
          withReason("port-lost " + causeKeyword(cause, FrameRejection::kNone), link_.osError()));
  }
  const PollReport& report = outcome.report;
  if (report.cause == PollCause::kNotOpened &&
      (!reopenFailure_ || !sameError(report.osError, *reopenFailure_))) {
    reopenFailure_ = report.osError;
    write(outcome.endedAt,
          withReason("reopen-failed " + std::to_string(outcome.errorDetail), report.osError));
  }
  write(outcome.endedAt, pollEvent(outcome));
}

void RunEvents::filesChanged(const std::vector<FileWatch::Change>& changes) {
  for (const FileWatch::Change& change : changes) {
    const std::string name = shownName(change.name);
    if (change.writable) {
      write(clock_.localTime(), "log-writable " + name);
      continue;
    }
    // The reason as the operator's line gives it, without its colon.
    std::string why = whyNotWritten(change.why);
    if (why.rfind(": ", 0) == 0) why.erase(0, 2);
    write(clock_.localTime(), "log-unwritable " + name + (why.empty() ? "" : " " + why));
  }
}

void RunEvents::ended(const PollTally& tally) {
  write(clock_.localTime(), "end polls " + std::to_string(tally.polls()) + " readings " +
                                std::to_string(tally.readings()) + " failures " +
                                std::to_string(tally.polls() - tally.readings()));
}

void RunEvents::connectionReopened() {
  std::string event = "reopened";
  if (lostAt_) event += " after " + std::to_string(clock_.tickCount64() - *lostAt_) + " ms";
  lostAt_.reset();
  reopenFailure_.reset();
  write(clock_.localTime(), event);
}

// Each line is written whole, line end included, so that a reader that
// takes lines (a pipe into grep) has it at once.
void RunEvents::write(const platform::CalendarTime& at, const std::string& event) {
  writeText(console_, eventTime(at) + " " + event + "\r\n");
}

}  // namespace scalecheck::console
