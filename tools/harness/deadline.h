#pragma once

#include <chrono>

namespace scalecheck::harness {

// The bound of every wait on another program. Only a broken program ever
// reaches it, so it is generous: a loaded CI machine running sanitizer
// builds two at a time must never come near it. Callers wait for output,
// ready lines and answers; this bound only keeps a hang from lasting for
// ever.
constexpr int kSafetyMs = 20000;

class Deadline {
 public:
  explicit Deadline(int milliseconds = kSafetyMs)
      : end_(Clock::now() + std::chrono::milliseconds(milliseconds)) {}

  bool passed() const { return Clock::now() >= end_; }

  // What is left, as poll() takes it; 0 once the deadline has passed.
  int remainingMs() const {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
  }

 private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point end_;
};

// Wall-clock milliseconds since `start`, for the few lower bounds worth
// asserting (never for tight upper bounds).
inline long long millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start)
      .count();
}

}  // namespace scalecheck::harness
