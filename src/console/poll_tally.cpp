#include "console/poll_tally.h"

#include <algorithm>

#include "console/reading_line.h"
#include "platform/cp1251.h"

namespace scalecheck::console {
namespace {

using platform::cp1251;

constexpr auto kPolls = cp1251("\r\nОпросов: ");
constexpr auto kReadings = cp1251(", показаний: ");
constexpr auto kFailures = cp1251(", ошибок: ");
constexpr auto kLongestRun = cp1251(", самая длинная серия ошибок: ");

// " (AD: 118, ad: 2)"; nothing for an empty tally.
template <typename Key, typename Name>
std::string breakdown(const std::map<Key, std::uint64_t>& counts, Name name) {
  std::string text;
  for (const auto& [key, count] : counts) {
    text += text.empty() ? " (" : ", ";
    text += name(key) + ": " + std::to_string(count);
  }
  return text.empty() ? text : text + ")";
}

}  // namespace

void PollTally::noteReading(AcquisitionMode mode) {
  ++readings_;
  ++byWay_[mode];
  failureRun_ = 0;
}

void PollTally::noteFailure(std::int32_t detail) {
  ++failures_;
  ++byDetail_[detail];
  longestFailureRun_ = std::max(longestFailureRun_, ++failureRun_);
}

std::string PollTally::summary() const {
  std::string text =
      kPolls.c_str() + std::to_string(polls()) + kReadings.c_str() + std::to_string(readings_) +
      breakdown(byWay_, [](AcquisitionMode mode) { return std::string(wayName(mode)); }) +
      kFailures.c_str() + std::to_string(failures_) +
      breakdown(byDetail_, [](std::int32_t detail) { return std::to_string(detail); });
  if (failures_ > 0) text += kLongestRun.c_str() + std::to_string(longestFailureRun_);
  return text + ".";
}

}  // namespace scalecheck::console
