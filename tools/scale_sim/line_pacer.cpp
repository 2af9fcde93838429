#include "line_pacer.h"

namespace scalecheck::sim {
namespace {

constexpr std::uint64_t kBitsPerCharacter = 10;
// Ten seconds hold exactly `baud` characters, so a run's origin can move on
// by that much without rounding; it keeps the products below far from
// overflowing however long a stream runs.
constexpr Nanos kRebasePeriod = 10 * kNanosPerSecond;
// A wake-up later than this (a stopped process, a loaded machine) is no
// jitter to make up for: the run starts again at the present.
constexpr Nanos kStallLimit = millis(50);

}  // namespace

LinePacer::LinePacer(std::uint32_t baud) : baud_(baud == 0 ? 1 : baud) {}

Nanos LinePacer::byteEnd(Nanos origin, std::uint64_t index, std::uint32_t baud) {
  const std::uint64_t bitNanos = (index + 1) * kBitsPerCharacter * kNanosPerSecond;
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
    const Nanos due = byteEnd(runOrigin_, runCount_, baud_);
    pending_.push_back(PendingByte{due, byte});
    lastEnd_ = due;
    if (++runCount_ == baud_) {
      runOrigin_ += kRebasePeriod;
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
