#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "link/weight_reading.h"
#include "protocol/poll_report.h"

namespace scalecheck::console {

// How the polls of one run went, for the summary line at its end.
class PollTally {
 public:
  void noteReading(AcquisitionMode mode);
  // A failed poll, the detail number it showed (100 + code; 0 for none)
  // and what it heard.
  void noteFailure(std::int32_t detail, const PollReport& report = PollReport{});

  std::uint64_t polls() const { return readings_ + failures_; }
  std::uint64_t readings() const { return readings_; }
  // Some poll heard bytes that made no frame: likely wrong line settings.
  bool bytesWithoutFrame() const { return bytesWithoutFrame_; }

  // "\r\nОпросов: 120, показаний: 118 (AD: 118), ошибок: 2 (110: 2 (тишина:
  // 2)), самая длинная серия ошибок: 2." (Windows-1251), naming only the
  // ways, codes and causes that occurred, the most frequent cause first.
  std::string summary() const;

 private:
  using Cause = std::pair<PollCause, FrameRejection>;
  struct Failures {
    std::uint64_t count = 0;
    std::map<Cause, std::uint64_t> byCause;
  };

  std::uint64_t readings_ = 0;
  std::uint64_t failures_ = 0;
  std::map<AcquisitionMode, std::uint64_t> byWay_;
  std::map<std::int32_t, Failures> byDetail_;
  std::uint64_t failureRun_ = 0;
  std::uint64_t longestFailureRun_ = 0;
  bool bytesWithoutFrame_ = false;
};

}  // namespace scalecheck::console
