#include "console/poll_loop.h"

#include <cstdio>
#include <cstring>

#include "console/measurement_log.h"
#include "console/reading_line.h"
#include "console/write_text.h"
#include "platform/deadline.h"
#include "protocol/acquisition.h"

namespace scalecheck::console {
namespace {

// Readings come this long after the previous poll has been handled; the
// keyboard is looked at every 24 ms meanwhile, so Esc acts within one step.
constexpr std::uint64_t kPollPeriodMs = 1000;
constexpr std::uint64_t kKeyStepMs = 24;
// Keys read in one step at most. A key costs microseconds to read, so a
// whole pasted burst (a terminal holds a few thousand bytes of input) is
// read within the step and an Esc at its end acts at once, while input that
// never ends (a program writing into the terminal) cannot hold off the poll.
constexpr int kMostKeysPerStep = 1024;

// False when the operator asked to leave. The steps keep to one schedule
// from the start, so sleeps that run long do not add up; the poll follows
// the first step that ends 1000 ms or more after the start.
bool waitBeforePoll(platform::Console& console, platform::Clock& clock) {
  const platform::Deadline64 period(clock, kPollPeriodMs);
  platform::StepSchedule64 steps(clock, kKeyStepMs);
  do {
    steps.sleepToNextStep();
    if (leaveRequested(console)) return false;
  } while (!period.passed());
  return true;
}

// The reading's line on the console (unless `console` is null) and its
// record in the log, stamped `at`.
void showReading(const WeightReading& reading, const platform::CalendarTime& at,
                 platform::Console* console, RecordFile& measurementLog) {
  char weightText[kWeightTextSize];
  formatReadingWeight(reading, weightText);
  char line[kReadingLineSize];
  formatReadingLine(reading, weightText, line);
  if (console != nullptr) writeText(*console, line);
  char record[kLogRecordSize];
  formatLogRecord(at, line, weightText, record);
  measurementLog.append(record, std::strlen(record));
}

// The link's error on the console (unless `console` is null); returns the
// detail number, 0 when the error has none and nothing is shown.
std::int32_t showError(const ScaleLink& link, platform::Console* console) {
  char message[kErrorTextSize];
  std::int32_t detail = 0;
  if (link.errorText(message, &detail) == LinkError::kNone || console == nullptr) return detail;
  char number[16];
  std::snprintf(number, sizeof number, " %d", static_cast<int>(detail));
  writeText(*console, number);
  writeText(*console, message);
  return detail;
}

}  // namespace

bool leaveRequested(platform::Console& console) {
  if (console.interruptRequested()) return true;
  // Any key other than Esc is consumed and ignored.
  for (int key = 0; key < kMostKeysPerStep && console.keyWaiting(); ++key) {
    if (console.readKey() == platform::kKeyEscape) return true;
  }
  return console.inputGone();
}

void runPollLoop(ScaleLink& link, platform::Console& console, platform::Clock& clock,
                 RecordFile& measurementLog, PollListener* listener) {
  while (waitBeforePoll(console, clock)) {
    if (listener != nullptr) listener->pollStarting();
    PollOutcome outcome;
    outcome.gotReading = pollReading(link, outcome.reading, outcome.report);
    outcome.endedAt = clock.localTime();
    platform::Console* screen =
        listener == nullptr || listener->pollsShownByTheLoop() ? &console : nullptr;
    if (outcome.gotReading) {
      showReading(outcome.reading, outcome.endedAt, screen, measurementLog);
    } else {
      outcome.errorDetail = showError(link, screen);
    }
    // Records kept back while a file could not be written go out as soon
    // as it can be again, even while no new reading comes.
    if (measurementLog.pendingCount() > 0) measurementLog.flush();
    if (link.deviceDump().pendingCount() > 0) link.deviceDump().flush();
    if (listener != nullptr && !listener->pollEnded(outcome)) return;
  }
}

}  // namespace scalecheck::console
