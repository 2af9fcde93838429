#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "link/weight_reading.h"

namespace scalecheck::console {

// How the polls of one run went, for the summary line at its end.
class PollTally {
 public:
  void noteReading(AcquisitionMode mode);
  // A failed poll and the detail number it showed (100 + code; 0 for none).
  void noteFailure(std::int32_t detail);

  std::uint64_t polls() const { return readings_ + failures_; }
  std::uint64_t readings() const { return readings_; }

  // "\r\nОпросов: 120, показаний: 118 (AD: 118), ошибок: 2 (110: 2), самая
  // длинная серия ошибок: 2." (Windows-1251), naming only the ways and the
  // codes that occurred.
  std::string summary() const;

 private:
  std::uint64_t readings_ = 0;
  std::uint64_t failures_ = 0;
  std::map<AcquisitionMode, std::uint64_t> byWay_;
  std::map<std::int32_t, std::uint64_t> byDetail_;
  std::uint64_t failureRun_ = 0;
  std::uint64_t longestFailureRun_ = 0;
};

}  // namespace scalecheck::console
