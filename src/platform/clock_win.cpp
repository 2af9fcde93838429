#include <windows.h>

#include "platform/clock.h"

namespace scalecheck::platform {
namespace {

class WinClock : public Clock {
 public:
  // GetTickCount: milliseconds since boot; cannot fail; wraps after 49.7 days.
  std::uint32_t tickCount() override { return GetTickCount(); }

  // GetTickCount64: the same counter in 64 bits; cannot fail.
  std::uint64_t tickCount64() override { return GetTickCount64(); }

  // Sleep: returns nothing; Sleep(0) yields the rest of the time slice.
  void sleep(std::uint32_t milliseconds) override { Sleep(milliseconds); }

  CalendarTime localTime() override {
    SYSTEMTIME now{};
    GetLocalTime(&now);  // returns nothing; cannot fail
    return CalendarTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
  }
};

}  // namespace

Clock& systemClock() {
  static WinClock clock;
  return clock;
}

}  // namespace scalecheck::platform
