#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/link_error.h"
#include "link/link_settings.h"
#include "platform/os_error.h"

namespace scalecheck {

// Bytes in one stretch of a scale's unsolicited data: two 22-byte frames.
// A receive queue fuller than this holds stale data.
constexpr std::uint32_t kStreamCaptureBytes = 44;

// Time a scale is given to prepare a weight frame once DC1 has been sent,
// before its reply is read.
constexpr std::uint32_t kFrameDelayMs = 168;

// What one attempt to take a byte of unsolicited data found.
enum class ByteResult {
  kByte,    // a byte was taken
  kNone,    // nothing is waiting yet
  kEnd,     // a byte was reported but none came, or the peer has closed
  kFailed,  // the device can no longer be asked
};

// How many status queries of a serial port reported each kind of line
// error (the receiver took a byte whose bits were wrong, or lost bytes).
struct LineErrorCounts {
  std::uint32_t overrun = 0;
  std::uint32_t parity = 0;
  std::uint32_t frame = 0;
  std::uint32_t breaks = 0;

  // No byte was misread (a parity or framing error, a break): the settings
  // match the sender's. An overrun loses bytes but says nothing of them.
  bool clean() const { return parity == 0 && frame == 0 && breaks == 0; }
  LineErrorCounts& operator+=(const LineErrorCounts& more) {
    overrun += more.overrun;
    parity += more.parity;
    frame += more.frame;
    breaks += more.breaks;
    return *this;
  }
};

// What the wait before a stretch of unsolicited data found.
struct StreamStart {
  // Nothing had come since the last read when the wait first looked (at
  // least the pause between polls): unless bytes were dropped since, the
  // first byte read begins a frame.
  bool quiet = false;
  // Bytes that had waited since before the wait were dropped: the scale
  // sends on its own.
  bool discarded = false;
};

// Sees every byte that crosses the link as it passes, for a trace.
class TrafficObserver {
 public:
  virtual ~TrafficObserver() = default;
  virtual void sent(const std::uint8_t* bytes, std::size_t length) = 0;
  virtual void received(const std::uint8_t* bytes, std::size_t length) = 0;
};

// One way of reaching a scale (RS-232 or TCP), with its own time limits.
// The weight protocol works through this alone, whatever the way.
class Transport {
 public:
  virtual ~Transport() = default;
  Transport() = default;
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  // Opens the connection `settings` name; false with the cause recorded in
  // `lastError` where the transport has one.
  virtual bool open(const LinkSettings& settings, LinkError& lastError) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // Sends a request; true once it has left (RS-232: the transmitter is
  // empty) or has been accepted (TCP).
  virtual bool writeBytes(const std::uint8_t* bytes, std::int32_t length) = 0;
  // Collects one reply, ended by silence: true with 1..21 bytes; false,
  // with nothing written, when no byte came.
  virtual bool readReply(std::uint8_t* buffer, std::int32_t& count) = 0;
  // Listens briefly for data the scale sends on its own: true when the
  // read of a stretch should begin, false when the line stays quiet or
  // fails. Data that had waited since before the wait is stale and dropped,
  // so that no old frame is shown as the weight now. With `keepListening`
  // (a scale known to stream) a quiet line gives true: the read's own
  // first-byte limit waits on.
  virtual bool waitForStream(bool keepListening, StreamStart& start) = 0;
  // One attempt to take a byte of such data; never waits.
  virtual ByteResult takeByte(std::uint8_t& byte) = 0;
  // Rests until input arrives, at most `boundMs`; where the system cannot
  // wait for input, only a short pause.
  virtual void waitForInput(std::uint32_t boundMs) = 0;
  // Time the scale is given between the combined request and the read of
  // its reply.
  virtual std::uint32_t combinedReplyDelayMs() const = 0;
  // The device or peer `settings` name, for messages; empty for none.
  virtual std::string target(const LinkSettings& settings) const = 0;
  // The line errors the driver reported since the last take, which change
  // nothing in how a poll goes (the bytes count as received); a way
  // without a serial line has none.
  virtual LineErrorCounts takeLineErrors() { return {}; }
  // True when a connection that is lost was closed by a network peer
  // rather than by a device going away.
  virtual bool reachesNetworkPeer() const { return false; }
  // Puts the line settings of `settings` in force on the connection held,
  // without closing it; a way without a serial line has none to change.
  virtual bool applyLineSettings(const LinkSettings& /*settings*/) { return isOpen(); }

  // True once the OS reported the device or peer gone, not merely quiet:
  // the connection must be opened anew before it can serve again.
  bool gone() const { return gone_; }
  // The OS error of the last failure.
  const platform::OsError& osError() const { return osError_; }
  // Bytes received since the transport was made, counted as they pass.
  std::uint64_t bytesReceived() const { return bytesReceived_; }
  void setObserver(TrafficObserver* observer) { observer_ = observer; }

 protected:
  void noteFailure(const platform::OsError& error) {
    osError_ = error;
    if (error.kind == platform::FailureKind::kGone) gone_ = true;
  }
  void noteGone(const platform::OsError& error) {
    osError_ = error;
    osError_.kind = platform::FailureKind::kGone;
    gone_ = true;
  }
  // A fresh connection: whatever went before is forgotten.
  void noteOpened() {
    gone_ = false;
    osError_ = platform::OsError{};
  }
  void noteSent(const std::uint8_t* bytes, std::size_t length) {
    if (observer_ != nullptr && length > 0) observer_->sent(bytes, length);
  }
  void noteReceived(const std::uint8_t* bytes, std::size_t length) {
    bytesReceived_ += length;
    if (observer_ != nullptr && length > 0) observer_->received(bytes, length);
  }

 private:
  bool gone_ = false;
  platform::OsError osError_;
  TrafficObserver* observer_ = nullptr;
  std::uint64_t bytesReceived_ = 0;
};

}  // namespace scalecheck
