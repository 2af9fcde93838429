#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "sim_time.h"

namespace scalecheck::sim {

// Sends bytes at the speed of a serial line: the scale UART's bits a
// character (start, data, parity if any, stop), so 10 bits and 1.0417 ms a
// byte at 9600 8N1. A byte is handed out when its last bit has left the
// scale. Each byte has an absolute deadline counted
// from the start of its run of back-to-back bytes, so a late wake-up delays
// one byte, not every byte after it.
class LinePacer {
 public:
  LinePacer(std::uint32_t baud, std::uint32_t bitsPerCharacter);

  struct PendingByte {
    Nanos start;  // its start bit begins
    Nanos due;    // its last bit has left
    char byte;
  };

  // Queues `bytes` to start leaving at `notBefore`, or as soon as the bytes
  // queued before them have left. `now` is the current time.
  void enqueue(Nanos notBefore, std::string_view bytes, Nanos now);

  // When the next queued byte will have left; nothing when none is queued.
  std::optional<Nanos> nextDue() const;

  // The queued bytes that have left by `now`, in order.
  std::string takeDue(Nanos now);

  // When the line will be free: the end of the last queued byte, so the next
  // frame follows it without a gap. `now` once the line has been idle so long
  // that catching up would send a burst.
  Nanos lineFreeAt(Nanos now) const;

  // Drops the bytes that have not left yet.
  void clear();

  bool idle() const { return pending_.empty(); }

  // The bytes queued and not yet handed out, in order.
  const std::deque<PendingByte>& pending() const { return pending_; }

  // When byte `index` (from 0) of a run starting at `origin` has left.
  static Nanos byteEnd(Nanos origin, std::uint64_t index, std::uint32_t baud,
                       std::uint32_t bitsPerCharacter);

 private:
  Nanos byteEnd(std::uint64_t index) const {
    return byteEnd(runOrigin_, index, baud_, bitsPerCharacter_);
  }

  std::uint32_t baud_;
  std::uint32_t bitsPerCharacter_;
  std::deque<PendingByte> pending_;
  Nanos runOrigin_ = 0;
  std::uint64_t runCount_ = 0;     // bytes scheduled in the run since runOrigin_
  std::optional<Nanos> lastEnd_;   // end of the last byte scheduled
  std::optional<Nanos> lastSent_;  // end of the last byte handed out
};

}  // namespace scalecheck::sim
