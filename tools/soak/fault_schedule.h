#pragma once

#include <random>

namespace scalecheck::soak {

// What happens to the scale: it goes silent, sends garbage, pauses (all
// three undone at the end of the fault), or is unplugged and plugged in
// again (the simulator killed, then started again on the same port link).
enum class FaultKind { kSilence, kGarbage, kPause, kUnplug };
constexpr int kFaultKinds = 4;

struct Fault {
  FaultKind kind = FaultKind::kSilence;
  int afterMs = 0;  // from the end of the previous fault
  int holdMs = 0;   // how long it lasts
};

const char* faultName(FaultKind kind);

// Faults at random, the same series for the same seed.
class FaultSchedule {
 public:
  explicit FaultSchedule(unsigned seed) : random_(seed) {}
  Fault next();

 private:
  int between(int low, int high);
  std::mt19937 random_;
};

}  // namespace scalecheck::soak
