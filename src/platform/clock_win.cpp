#include <windows.h>
// After windows.h, which it needs.
#include <timeapi.h>

#include "platform/clock.h"

namespace scalecheck::platform {
namespace {

// The timer period asked for while the program runs: Sleep then wakes
// within about a millisecond of its time instead of the default 15.6 ms
// tick, which the link's 1 ms and 8 ms steps need. GetTickCount itself
// still moves in jumps of about 15.6 ms on real Windows.
constexpr UINT kTimerPeriodMs = 1;

class WinClock : public Clock {
 public:
  // Where the period is refused the sleeps are merely coarser. Each
  // successful call is paired with a timeEndPeriod, here when the process
  // ends.
  WinClock() : periodSet_(timeBeginPeriod(kTimerPeriodMs) == TIMERR_NOERROR) {}
  ~WinClock() override {
    if (periodSet_) timeEndPeriod(kTimerPeriodMs);
  }
  WinClock(const WinClock&) = delete;
  WinClock& operator=(const WinClock&) = delete;

  // Wraps after 49.7 days.
  std::uint32_t tickCount() override { return GetTickCount(); }

  std::uint64_t tickCount64() override { return GetTickCount64(); }

  // Sleep(0) yields the rest of the time slice.
  void sleep(std::uint32_t milliseconds) override { Sleep(milliseconds); }

  CalendarTime localTime() override {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return CalendarTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                        now.wMinute, now.wSecond, now.wMilliseconds};
  }

 private:
  bool periodSet_;
};

}  // namespace

Clock& systemClock() {
  static WinClock clock;
  return clock;
}

}  // namespace scalecheck::platform
