#include "console/measurement_log.h"

#include <cstdio>

#include "link/bounded_text.h"

namespace scalecheck::console {

void formatTimeStamp(const platform::CalendarTime& time, char (&stamp)[kTimeStampSize]) {
  // Each field is clamped to its width, so no clock value can widen the stamp.
  auto clamp = [](int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
  };
  std::snprintf(stamp, sizeof stamp, "%02d.%02d.%04d %02d:%02d:%02d", clamp(time.day, 0, 99),
                clamp(time.month, 0, 99), clamp(time.year, 0, 9999), clamp(time.hour, 0, 99),
                clamp(time.minute, 0, 99), clamp(time.second, 0, 99));
}

void formatLogRecord(const platform::CalendarTime& time, const char* readingLine,
                     const char* weightText, char (&record)[kLogRecordSize]) {
  char stamp[kTimeStampSize];
  formatTimeStamp(time, stamp);
  copyBounded(record, "\"");
  appendBounded(record, stamp);
  appendBounded(record, "\";\"");
  appendBounded(record, readingLine);
  appendBounded(record, "\";");
  appendBounded(record, weightText);
  appendBounded(record, "\n");
}

}  // namespace scalecheck::console
