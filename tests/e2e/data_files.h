#pragma once

#include <gtest/gtest.h>
#include <time.h>

#include <string>
#include <vector>

#include "e2e/console_texts.h"

namespace scalecheck::e2e {

// One reading as the program should show and store it.
struct ShownReading {
  std::string line;        // the reading line, UTF-8, as on the console
  std::string weightText;  // the log's last field
  std::string frame;       // the frame bytes "#DeviceIO" gets for it
};

// Bytes as a Windows text-mode file stores them: each LF as CR LF.
inline std::string storedAsText(const std::string& bytes) {
  std::string stored;
  for (const char byte : bytes) {
    if (byte == '\n') stored += '\r';
    stored += byte;
  }
  return stored;
}

// Reads a time stamp of the log, "DD.MM.YYYY HH:MM:SS" in local time, into
// seconds since the epoch; false when it is not of that form.
inline bool readStamp(const std::string& stamp, time_t& when) {
  const std::string form = "00.00.0000 00:00:00";
  if (stamp.size() != form.size()) return false;
  for (std::size_t i = 0; i < form.size(); ++i) {
    const bool fits = form[i] == '0' ? stamp[i] >= '0' && stamp[i] <= '9' : stamp[i] == form[i];
    if (!fits) return false;
  }
  auto field = [&](std::size_t at, std::size_t width) {
    return std::stoi(stamp.substr(at, width));
  };
  tm local{};
  local.tm_mday = field(0, 2);
  local.tm_mon = field(3, 2) - 1;
  local.tm_year = field(6, 4) - 1900;
  local.tm_hour = field(11, 2);
  local.tm_min = field(14, 2);
  local.tm_sec = field(17, 2);
  local.tm_isdst = -1;
  // mktime normalises out-of-range fields; the comparison below catches
  // that.
  when = mktime(&local);
  return when != -1 && local.tm_mday == field(0, 2) && local.tm_mon == field(3, 2) - 1;
}

// "#Log.csv" holds one record for each reading, in order, with nothing
// else: byte for byte, but for the values of the time stamps, which must be
// well formed, lie within the run (`from` to `to`) and never go back.
inline ::testing::AssertionResult logHolds(const std::string& file,
                                           const std::vector<ShownReading>& readings, time_t from,
                                           time_t to) {
  std::string expected;
  time_t earliest = from - 1;  // a second of slack each side: stamps have whole seconds
  for (std::size_t record = 0; record < readings.size(); ++record) {
    // The stamp is taken from where this record's stamp stands in the file.
    const std::size_t at = expected.size() + 1;
    const std::string stamp = file.size() >= at + 19 ? file.substr(at, 19) : "(missing)";
    time_t when = 0;
    if (!readStamp(stamp, when) || when < earliest || when > to + 1) {
      return ::testing::AssertionFailure()
             << "record " << record + 1 << " has the stamp \"" << stamp
             << "\", not a local time within the run after the one before, in\n"
             << ::testing::PrintToString(file);
    }
    earliest = when;
    expected += "\"" + stamp + "\";\"" + toCp1251(readings[record].line) + "\";" +
                readings[record].weightText + "\r\n";
  }
  if (file != expected) {
    return ::testing::AssertionFailure() << "the log holds\n"
                                         << ::testing::PrintToString(file) << "\ninstead of\n"
                                         << ::testing::PrintToString(expected);
  }
  return ::testing::AssertionSuccess();
}

// "#DeviceIO" holds the frames of the readings back to back, as a text-mode
// file stores them.
inline std::string dumpOf(const std::vector<ShownReading>& readings) {
  std::string frames;
  for (const ShownReading& reading : readings) frames += reading.frame;
  return storedAsText(frames);
}

}  // namespace scalecheck::e2e
