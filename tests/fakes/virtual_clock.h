#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/clock.h"

namespace scalecheck::testing {

// A clock that moves only when the code under test sleeps, or when a fake
// device's blocking call lets time pass. Tests thereby check time limits to
// the millisecond without real sleeps. Code that keeps reading the clock
// while no time passes would spin forever on a real machine's idle core:
// the clock reports that as a failure instead of hanging.
class VirtualClock : public platform::Clock {
 public:
  explicit VirtualClock(std::uint64_t start = 1000) : now_(start) {}

  std::uint32_t tickCount() override;
  std::uint64_t tickCount64() override;
  void sleep(std::uint32_t milliseconds) override;
  platform::CalendarTime localTime() override;

  std::uint64_t now() const { return now_; }
  void advanceTo(std::uint64_t time);
  void advanceBy(std::uint64_t milliseconds) { advanceTo(now_ + milliseconds); }
  // Every sleep, in order; Sleep(0) appears as 0.
  const std::vector<std::uint32_t>& sleeps() const { return sleeps_; }
  // Called after time moves, so a scripted peer can act at its moment.
  void onAdvance(std::function<void()> listener) { listeners_.push_back(std::move(listener)); }
  // The calendar time at clock value 0; localTime() adds the elapsed time.
  void setCalendarOrigin(const platform::CalendarTime& origin) { origin_ = origin; }

 private:
  void noteRead();

  std::uint64_t now_;
  std::uint64_t readsWithoutProgress_ = 0;
  std::vector<std::uint32_t> sleeps_;
  std::vector<std::function<void()>> listeners_;
  platform::CalendarTime origin_{2026, 12, 8, 14, 3, 0};
};

}  // namespace scalecheck::testing
