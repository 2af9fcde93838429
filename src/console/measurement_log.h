#pragma once

#include <cstddef>

#include "platform/clock.h"

namespace scalecheck::console {

constexpr const char* kMeasurementLogPath = "#Log.csv";
constexpr std::size_t kLogRecordSize = 260;  // 259 characters and the NUL

// "DD.MM.YYYY HH:MM:SS", as the log and the trace stamp a record.
constexpr std::size_t kTimeStampSize = 20;  // 19 characters and the NUL
void formatTimeStamp(const platform::CalendarTime& time, char (&stamp)[kTimeStampSize]);

// One record of the measurement log:
//   "DD.MM.YYYY HH:MM:SS";"<reading line>";<weight text>
// followed by a line end (LF here; the file stores it as CR LF).
void formatLogRecord(const platform::CalendarTime& time, const char* readingLine,
                     const char* weightText, char (&record)[kLogRecordSize]);

}  // namespace scalecheck::console
