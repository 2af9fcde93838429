#include "fault_schedule.h"

namespace scalecheck::soak {
namespace {

// Between faults the checker polls a working scale for 5 to 20 polls; a
// fault lasts 2 to 10 polls, an unplugged scale is away a few seconds, as
// when someone pulls the adapter and puts it back.
constexpr int kLeastGapMs = 5000;
constexpr int kMostGapMs = 20000;
constexpr int kLeastHoldMs = 2000;
constexpr int kMostHoldMs = 10000;
constexpr int kLeastAwayMs = 2000;
constexpr int kMostAwayMs = 6000;

}  // namespace

const char* faultName(FaultKind kind) {
  switch (kind) {
    case FaultKind::kSilence:
      return "silence";
    case FaultKind::kGarbage:
      return "garbage";
    case FaultKind::kPause:
      return "pause";
    case FaultKind::kUnplug:
      return "unplug";
  }
  return "?";
}

Fault FaultSchedule::next() {
  Fault fault;
  fault.kind = static_cast<FaultKind>(between(0, kFaultKinds - 1));
  fault.afterMs = between(kLeastGapMs, kMostGapMs);
  fault.holdMs = fault.kind == FaultKind::kUnplug ? between(kLeastAwayMs, kMostAwayMs)
                                                  : between(kLeastHoldMs, kMostHoldMs);
  return fault;
}

int FaultSchedule::between(int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random_);
}

}  // namespace scalecheck::soak
