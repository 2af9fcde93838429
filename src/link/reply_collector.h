#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/clock.h"
#include "platform/deadline.h"

namespace scalecheck {

constexpr std::size_t kReplyMaxBytes = 21;  // a reply hands back at most this many bytes

// One reply from the scale, ended by silence: no first byte within
// `firstByteLimitMs`, or `gapMs` without a next byte. Both transports
// collect their replies with it; they differ only in how a byte is fetched.
class ReplyCollector {
 public:
  ReplyCollector(platform::Clock& clock, std::uint32_t firstByteLimitMs, std::uint32_t gapMs)
      : silence_(clock, firstByteLimitMs), gapMs_(gapMs) {}

  // How long to wait for input before looking again: the rest of the limit
  // now running.
  std::uint32_t waitBound() const { return silence_.remaining(); }

  // Takes a byte that arrived. False when the reply is complete: the 22nd
  // byte is taken from the line and dropped.
  bool take(std::uint8_t byte) {
    reply_[stored_] = byte;
    if (stored_ == kReplyMaxBytes) return false;
    ++stored_;
    silence_.restart(gapMs_);
    return true;
  }

  // Looked and found nothing: true when the silence has ended the reply.
  bool silenceEnded() const { return silence_.passed(); }

  // True with the reply (1..21 bytes) in `buffer` and its length in
  // `count`; false, with neither written, when no byte came.
  bool handBack(std::uint8_t* buffer, std::int32_t& count) const;

 private:
  // The first-byte limit until a byte has come, then the gap after each.
  platform::Deadline silence_;
  const std::uint32_t gapMs_;
  std::uint8_t reply_[kReplyMaxBytes + 1] = {};
  std::uint32_t stored_ = 0;
};

}  // namespace scalecheck
