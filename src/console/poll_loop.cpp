#include "console/poll_loop.h"

#include <cstdio>
#include <cstring>

#include "console/measurement_log.h"
#include "console/reading_line.h"
#include "protocol/acquisition.h"

namespace scalecheck::console {
namespace {

// Readings come this long after the previous poll has been handled; the
// keyboard is looked at every 24 ms meanwhile, so Esc acts within one step.
constexpr std::uint64_t kPollPeriodMs = 1000;
constexpr std::uint32_t kKeyStepMs = 24;

void writeText(platform::Console& console, const char* text) {
  console.write(text, std::strlen(text));
}

// False when the operator asked to leave.
bool waitBeforePoll(platform::Console& console, platform::Clock& clock) {
  const std::uint64_t start = clock.tickCount64();
  do {
    clock.sleep(kKeyStepMs);
    if (console.interruptRequested()) return false;
    // Any key other than Esc is consumed and ignored.
    if (console.keyWaiting() && console.readKey() == platform::kKeyEscape) return false;
  } while (clock.tickCount64() - start < kPollPeriodMs);
  return true;
}

void showReading(const WeightReading& reading, platform::Console& console, platform::Clock& clock,
                 RecordFile& measurementLog) {
  char weightText[kWeightTextSize];
  formatReadingWeight(reading, weightText);
  char line[kReadingLineSize];
  formatReadingLine(reading, weightText, line);
  writeText(console, line);
  char record[kLogRecordSize];
  formatLogRecord(clock.localTime(), line, weightText, record);
  measurementLog.append(record, std::strlen(record));
}

void showError(const ScaleLink& link, platform::Console& console) {
  char message[kErrorTextSize];
  std::int32_t detail = 0;
  if (link.errorText(message, &detail) == LinkError::kNone) return;
  char number[16];
  std::snprintf(number, sizeof number, " %d", static_cast<int>(detail));
  writeText(console, number);
  writeText(console, message);
}

}  // namespace

void runPollLoop(ScaleLink& link, platform::Console& console, platform::Clock& clock,
                 RecordFile& measurementLog) {
  while (waitBeforePoll(console, clock)) {
    WeightReading reading;
    if (pollReading(link, reading)) {
      showReading(reading, console, clock, measurementLog);
    } else {
      showError(link, console);
    }
    // Records kept back while a file could not be written go out as soon
    // as it can be again, even while no new reading comes.
    if (measurementLog.pendingCount() > 0) measurementLog.flush();
    if (link.deviceDump().pendingCount() > 0) link.deviceDump().flush();
  }
}

}  // namespace scalecheck::console
