#include <sched.h>
#include <time.h>

#include <cerrno>

#include "platform/clock.h"
#include "platform/monotonic_posix.h"

namespace scalecheck::platform {
namespace {

class PosixClock : public Clock {
 public:
  std::uint32_t tickCount() override { return static_cast<std::uint32_t>(monotonicMilliseconds()); }
  std::uint64_t tickCount64() override { return monotonicMilliseconds(); }

  void sleep(std::uint32_t milliseconds) override {
    if (milliseconds == 0) {
      // sched_yield: 0, or -1 on systems where yielding is not supported;
      // the call then simply returns, as Sleep(0) does when no other thread
      // is ready.
      static_cast<void>(sched_yield());
      return;
    }
    timespec rest{static_cast<time_t>(milliseconds / 1000U),
                  static_cast<long>(milliseconds % 1000U) * 1000000L};
    // nanosleep: 0 once the time has passed, or -1 with errno: EINTR when a
    // signal came first, with the time still to sleep in `rest`, which is
    // then slept; other errors (EINVAL) cannot come from these values.
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
  }

  CalendarTime localTime() override {
    // time: the seconds since the epoch, or -1 with errno (never on Linux).
    // localtime_r: the broken-down time, or null when it cannot be
    // represented; the stamp then shows the epoch rather than garbage.
    const time_t now = time(nullptr);
    tm local{};
    if (now == static_cast<time_t>(-1) || localtime_r(&now, &local) == nullptr) {
      return CalendarTime{1970, 1, 1, 0, 0, 0};
    }
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
