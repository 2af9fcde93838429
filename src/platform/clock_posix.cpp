#include <sched.h>
#include <time.h>

#include <cerrno>

#include "platform/clock.h"

namespace scalecheck::platform {
namespace {

std::uint64_t monotonicMilliseconds() {
  timespec now{};
  // CLOCK_MONOTONIC never steps with the wall clock, as the Windows tick
  // count does not.
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000U +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000000U;
}

class PosixClock : public Clock {
 public:
  std::uint32_t tickCount() override { return static_cast<std::uint32_t>(monotonicMilliseconds()); }
  std::uint64_t tickCount64() override { return monotonicMilliseconds(); }

  void sleep(std::uint32_t milliseconds) override {
    if (milliseconds == 0) {
      sched_yield();  // Sleep(0): give up the rest of the time slice
      return;
    }
    timespec rest{static_cast<time_t>(milliseconds / 1000U),
                  static_cast<long>(milliseconds % 1000U) * 1000000L};
    // Resume after a signal until the whole time has passed.
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
  }

  CalendarTime localTime() override {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return CalendarTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                        local.tm_hour,        local.tm_min,     local.tm_sec};
  }
};

}  // namespace

Clock& systemClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace scalecheck::platform
