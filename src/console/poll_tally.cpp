#include "console/poll_tally.h"

#include <algorithm>
#include <vector>

#include "console/poll_cause_text.h"
#include "console/reading_line.h"
#include "platform/cp1251.h"

namespace scalecheck::console {
namespace {

using platform::cp1251;

constexpr auto kPolls = cp1251("\r\nОпросов: ");
constexpr auto kReadings = cp1251(", показаний: ");
constexpr auto kFailures = cp1251(", ошибок: ");
constexpr auto kLongestRun = cp1251(", самая длинная серия ошибок: ");

// " (AD: 118, ad: 2)" from the entries' texts; nothing for none.
std::string inParentheses(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) text += (text.empty() ? " (" : ", ") + entry;
  return text.empty() ? text : text + ")";
}

std::string counted(const std::string& name, std::uint64_t count) {
  return name + ": " + std::to_string(count);
}

}  // namespace

void PollTally::noteReading(AcquisitionMode mode) {
  ++readings_;
  ++byWay_[mode];
  failureRun_ = 0;
}

void PollTally::noteFailure(std::int32_t detail, const PollReport& report) {
  ++failures_;
  Failures& failures = byDetail_[detail];
  ++failures.count;
  if (report.cause != PollCause::kNone) ++failures.byCause[{report.cause, report.rejection}];
  if (report.cause == PollCause::kBytesWithoutFrame) bytesWithoutFrame_ = true;
  longestFailureRun_ = std::max(longestFailureRun_, ++failureRun_);
}

std::string PollTally::summary() const {
  std::vector<std::string> ways;
  for (const auto& [mode, count] : byWay_) ways.push_back(counted(wayName(mode), count));
  std::vector<std::string> details;
  for (const auto& [detail, failures] : byDetail_) {
    std::vector<std::pair<Cause, std::uint64_t>> causes(failures.byCause.begin(),
                                                        failures.byCause.end());
    std::stable_sort(causes.begin(), causes.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<std::string> names;
    names.reserve(causes.size());
    for (const auto& [cause, count] : causes) {
      names.push_back(counted(causeName(cause.first, cause.second), count));
    }
    details.push_back(counted(std::to_string(detail), failures.count) + inParentheses(names));
  }
  std::string text = kPolls.c_str() + std::to_string(polls()) + kReadings.c_str() +
                     std::to_string(readings_) + inParentheses(ways) + kFailures.c_str() +
                     std::to_string(failures_) + inParentheses(details);
  if (failures_ > 0) text += kLongestRun.c_str() + std::to_string(longestFailureRun_);
  return text + ".";
}

}  // namespace scalecheck::console
