#include "line_pacer.h"

namespace scalecheck::sim {
namespace {

// A wake-up later than this (a stopped process, a loaded machine) is no
// jitter to make up for: the run starts again at the present.
constexpr Nanos kStallLimit = millis(50);

}  // namespace

LinePacer::LinePacer(std::uint32_t baud, std::uint32_t bitsPerCharacter)
    : baud_(baud == 0 ? 1 : baud), bitsPerCharacter_(bitsPerCharacter) {}

Nanos LinePacer::byteEnd(Nanos origin, std::uint64_t index, std::uint32_t baud,
                         std::uint32_t bitsPerCharacter) {
  const std::uint64_t bitNanos = (index + 1) * bitsPerCharacter * kNanosPerSecond;
  return origin + static_cast<Nanos>(bitNanos / baud);
}

void LinePacer::enqueue(Nanos notBefore, std::string_view bytes, Nanos now) {
  if (bytes.empty()) return;
  Nanos start = notBefore;
  bool joinsRun = false;
  if (lastEnd_ && *lastEnd_ >= start) {
    start = *lastEnd_;
    joinsRun = true;
  }
  if (start < now - kStallLimit) {
    start = now;
    joinsRun = false;
  }
  if (!joinsRun) {
    runOrigin_ = start;
    runCount_ = 0;
  }
  for (char byte : bytes) {
    const Nanos begins = runCount_ == 0 ? runOrigin_ : byteEnd(runCount_ - 1);
    const Nanos due = byteEnd(runCount_);
    pending_.push_back(PendingByte{begins, due, byte});
    lastEnd_ = due;
    // `baud` characters take exactly as many seconds as a character has
    // bits, so the run's origin moves on by that much without rounding; it
    // keeps the products in byteEnd far from overflowing however long a
    // stream runs.
    if (++runCount_ == baud_) {
      runOrigin_ += static_cast<Nanos>(bitsPerCharacter_) * kNanosPerSecond;
      runCount_ = 0;
    }
  }
}

std::optional<Nanos> LinePacer::nextDue() const {
  if (pending_.empty()) return std::nullopt;
  return pending_.front().due;
}

std::string LinePacer::takeDue(Nanos now) {
  std::string due;
  while (!pending_.empty() && pending_.front().due <= now) {
    due.push_back(pending_.front().byte);
    lastSent_ = pending_.front().due;
    pending_.pop_front();
  }
  return due;
}

Nanos LinePacer::lineFreeAt(Nanos now) const {
  if (lastEnd_ && *lastEnd_ >= now - kStallLimit) return *lastEnd_;
  return now;
}

void LinePacer::clear() {
  pending_.clear();
  lastEnd_ = lastSent_;
}

}  // namespace scalecheck::sim
