#include "fakes/virtual_clock.h"

#include <stdexcept>

namespace scalecheck::testing {
namespace {

// Far more clock reads than any bounded wait makes without time passing.
constexpr std::uint64_t kSpinLimit = 100000;

}  // namespace

void VirtualClock::noteRead() {
  if (++readsWithoutProgress_ > kSpinLimit) {
    throw std::runtime_error("virtual time stands still while the code keeps polling: it spins");
  }
}

std::uint32_t VirtualClock::tickCount() {
  noteRead();
  return static_cast<std::uint32_t>(now_);
}

std::uint64_t VirtualClock::tickCount64() {
  noteRead();
  return now_;
}

void VirtualClock::sleep(std::uint32_t milliseconds) {
  sleeps_.push_back(milliseconds);
  advanceBy(milliseconds);
}

void VirtualClock::advanceTo(std::uint64_t time) {
  if (time > now_) {
    now_ = time;
    readsWithoutProgress_ = 0;
  }
  for (auto& listener : listeners_) listener();
}

platform::CalendarTime VirtualClock::localTime() {
  // Seconds run on from the origin; minutes and hours carry, the date stays.
  platform::CalendarTime time = origin_;
  time.millisecond = static_cast<int>(now_ % 1000);
  std::uint64_t seconds = static_cast<std::uint64_t>(origin_.second) + now_ / 1000;
  time.second = static_cast<int>(seconds % 60);
  std::uint64_t minutes = static_cast<std::uint64_t>(origin_.minute) + seconds / 60;
  time.minute = static_cast<int>(minutes % 60);
  time.hour = static_cast<int>((static_cast<std::uint64_t>(origin_.hour) + minutes / 60) % 24);
  return time;
}

}  // namespace scalecheck::testing
