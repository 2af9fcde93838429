#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/clock.h"

namespace scalecheck {

constexpr std::size_t kReplyMaxBytes = 21;  // a reply hands back at most this many bytes

// One reply from the scale, ended by silence: no first byte within
// `firstByteLimitMs`, or `gapMs` without a next byte. Both transports
// collect their replies with it; they differ only in how a byte is fetched.
class ReplyCollector {
 public:
  ReplyCollector(platform::Clock& clock, std::uint32_t firstByteLimitMs, std::uint32_t gapMs)
      : clock_(clock),
        firstByteLimitMs_(firstByteLimitMs),
        gapMs_(gapMs),
        lastByte_(clock.tickCount()),
        waitBound_(firstByteLimitMs) {}

  // How long to wait for input before looking again: the rest of the limit
  // now running.
  std::uint32_t waitBound() const { return waitBound_; }

  // Takes a byte that arrived. False when the reply is complete: the 22nd
  // byte is taken from the line and dropped.
  bool take(std::uint8_t byte) {
    reply_[stored_] = byte;
    if (stored_ == kReplyMaxBytes) return false;
    ++stored_;
    lastByte_ = clock_.tickCount();
    waitBound_ = gapMs_;
    return true;
  }

  // Looked and found nothing: true when the silence has ended the reply.
  bool silenceEnded() {
    const std::uint32_t elapsed = platform::ticksSince(lastByte_, clock_.tickCount());
    const std::uint32_t limit = stored_ == 0 ? firstByteLimitMs_ : gapMs_;
    if (elapsed >= limit) return true;
    waitBound_ = limit - elapsed;
    return false;
  }

  // True with the reply (1..21 bytes) in `buffer` and its length in
  // `count`; false, with neither written, when no byte came.
  bool handBack(std::uint8_t* buffer, std::int32_t& count) const;

 private:
  platform::Clock& clock_;
  const std::uint32_t firstByteLimitMs_;
  const std::uint32_t gapMs_;
  std::uint8_t reply_[kReplyMaxBytes + 1] = {};
  std::uint32_t stored_ = 0;
  std::uint32_t lastByte_;
  std::uint32_t waitBound_;
};

}  // namespace scalecheck
