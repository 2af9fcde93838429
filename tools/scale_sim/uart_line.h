#pragma once

#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "sim_time.h"
#include "uart_settings.h"

namespace scalecheck::sim {

// What a receiving UART noticed about a character: bits of
// ReceivedByte::errors.
namespace line_error {
constexpr std::uint8_t kParity = 0x01;   // the parity bit disagreed with the data
constexpr std::uint8_t kFraming = 0x02;  // the stop bit was 0
constexpr std::uint8_t kBreak = 0x04;    // the line was 0 from start to stop bit
}  // namespace line_error

struct ReceivedByte {
  std::uint8_t value = 0;
  std::uint8_t errors = 0;
  // The stop bit's sample: the moment the UART hands the byte over.
  Nanos complete = 0;
  // Not the character the sender started at that edge, or flagged.
  bool garbled = false;
};

// A bad cable: each bit time on the wire is flipped with the given
// probability. The generator is fully specified by the standard, so the
// same seed flips the same bits on every build.
class BitNoise {
 public:
  BitNoise(double bitErrorRate, std::uint64_t seed) : rate_(bitErrorRate), random_(seed) {}
  bool flips();

 private:
  double rate_;
  std::mt19937_64 random_;
};

// One direction of a serial line: the characters a sending UART puts on the
// wire and what a receiving UART, at its own settings, makes of them. The
// receiver starts a character at a falling edge, checks the start bit at
// its middle (a line back at 1 there was a glitch), then samples each bit
// at its middle by its own clock, and hands the byte over whatever its
// parity and stop bit said, as drivers without parity checking do. It then
// hunts for the next falling edge from the stop bit's sample on.
class UartLine {
 public:
  explicit UartLine(BitNoise noise = BitNoise(0.0, 0)) : noise_(noise) {}

  // Puts `byte` on the wire as a UART at `sender` frames it, from `start`,
  // or as soon as the character before has left and the time the receiver
  // has already looked at has passed. `length` (the whole character, bits
  // spread evenly over it) lets a caller that paces characters itself keep
  // its own rounding. Returns the character's end.
  Nanos send(std::uint8_t byte, const UartSettings& sender, Nanos start);
  Nanos send(std::uint8_t byte, const UartSettings& sender, Nanos start, Nanos length);

  // The characters a receiver at `receiver` has completed by `until`, in
  // order. The wire up to `until` is taken as final: nothing sent later
  // starts before it.
  std::vector<ReceivedByte> receive(const UartSettings& receiver, Nanos until);

  // When receive() will next hand over a byte, if nothing more is sent.
  std::optional<Nanos> nextCompletion(const UartSettings& receiver) const;

  // Takes back what has not been observed yet: a sender that stops. A
  // character already under way finishes.
  void withdrawUnobserved();

  // Nothing on the wire that `receiver` has not taken, and the wire idle
  // at `now`.
  bool quiet(const UartSettings& receiver, Nanos now) const;

 private:
  struct Character {
    Nanos start;
    Nanos length;
    std::uint16_t levels;  // bit i: the line during bit i (0 is the start bit)
    std::uint8_t bits;
    bool levelBefore;    // the line just before the start bit
    std::uint8_t value;  // the data as sent, for telling garbled bytes
    Nanos end() const { return start + length; }
    // The first moment of bit `index`.
    Nanos boundary(std::uint32_t index) const;
    bool level(std::uint32_t index) const { return ((levels >> index) & 1U) != 0; }
  };

  enum class Decode { kByte, kPending, kNone };
  Decode decode(const UartSettings& receiver, Nanos until, ReceivedByte& byte,
                Nanos& huntAfter) const;
  bool levelAt(Nanos time) const;
  std::optional<Nanos> fallingEdgeAfter(Nanos after) const;
  bool sentAsReceived(Nanos edge, std::uint8_t value) const;
  void forgetPast();

  static constexpr Nanos kNever = std::numeric_limits<Nanos>::min();

  BitNoise noise_;
  std::deque<Character> wire_;
  Nanos huntAfter_ = kNever;      // a character starts at a falling edge after this
  Nanos observedUntil_ = kNever;  // receive() has taken the wire as final up to here
  Nanos busyUntil_ = kNever;      // the end of the last character sent
  bool lastLevel_ = true;         // the last bit of the last character sent
};

}  // namespace scalecheck::sim
