#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "line_pacer.h"
#include "sim_time.h"
#include "uart_line.h"
#include "uart_settings.h"

namespace scalecheck::sim {

// Bytes the scale's UART received, complete at `at`.
struct Heard {
  Nanos at = 0;
  std::string bytes;
};

// What crossed the line one way since it was last taken.
struct LineTally {
  std::uint64_t received = 0;
  std::uint64_t garbled = 0;
  std::uint8_t errors = 0;  // line_error bits of the bytes received
};

// The serial line between the scale and the checker, both ways. The
// scale's UART paces its characters; what reaches the other end is what a
// UART at that end's settings makes of them. While both ends use the same
// settings and there is no noise, bytes cross unchanged at the scale's pace
// without the bit model (which would give the same bytes); once the ends
// differ, every character crosses the model until the line is quiet again.
class ScaleLine {
 public:
  // `strict`: the scale's UART drops what it received with a parity or
  // framing error, as one that checks parity does.
  ScaleLine(const UartSettings& scale, double bitErrorRate, std::uint64_t seed,
            bool strict = false);

  // The checker's end as the link shows it now. Until told otherwise it is
  // taken to match the scale's.
  void setPeer(const UartSettings& peer) { peer_ = peer; }
  const UartSettings& peer() const { return peer_; }
  const UartSettings& scale() const { return scale_; }

  // --- scale to checker. `bytes` start to leave at `notBefore`, or once
  // what was queued before has left; `now` is the present.
  void send(Nanos notBefore, std::string_view bytes, Nanos now);
  // What has reached the checker by `now`.
  std::string takeDue(Nanos now);
  // When takeDue next has something to do.
  std::optional<Nanos> nextDue() const;
  // When the scale's UART will have sent everything queued (see LinePacer).
  Nanos lineFreeAt(Nanos now) const { return pacer_.lineFreeAt(now); }
  bool idle() const { return pacer_.idle(); }
  // The scale stops sending: what has not left is dropped.
  void clear();

  // --- checker to scale: bytes the checker wrote, there at `now`, leave
  // its UART back to back.
  void carry(std::string_view written, Nanos now);
  // What the scale's UART has received by `now`, in order.
  std::vector<Heard> takeHeard(Nanos now);
  std::optional<Nanos> nextHeard() const;

  LineTally takeTallyToPeer() { return take(toPeerTally_); }
  LineTally takeTallyFromPeer() { return take(fromPeerTally_); }

 private:
  bool modelWanted() const { return noisy_ || peer_ != scale_; }
  void chooseOutboundPath(Nanos now);
  // The bytes the scale's UART has queued, from the `first`, onto the
  // model's wire at the times the pacer gave them.
  void putOnWire(std::size_t first);
  static LineTally take(LineTally& tally);
  static void count(LineTally& tally, const ReceivedByte& byte);

  UartSettings scale_;
  UartSettings peer_;
  bool noisy_;
  bool strict_;
  LinePacer pacer_;
  UartLine toPeer_;
  UartLine fromPeer_;
  bool outboundModelled_ = false;
  bool inboundModelled_ = false;
  std::vector<Heard> heard_;  // fast path: waiting for takeHeard
  LineTally toPeerTally_;
  LineTally fromPeerTally_;
};

}  // namespace scalecheck::sim
