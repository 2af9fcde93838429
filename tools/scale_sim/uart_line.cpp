#include "uart_line.h"

#include <algorithm>

namespace scalecheck::sim {
namespace {

bool parityBit(Parity parity, std::uint32_t ones) {
  switch (parity) {
    case Parity::kEven:
      return (ones & 1U) != 0;  // makes the count of ones even
    case Parity::kOdd:
      return (ones & 1U) == 0;
    case Parity::kMark:
      return true;
    case Parity::kSpace:
    case Parity::kNone:
      break;
  }
  return false;
}

// A UART ticks 16 times a bit: it sees a falling edge at its next tick,
// half a tick late on average, and samples bit k 8 ticks into it. So bit k
// is sampled (16k + 8.5) / 16 bit times after the edge, which also settles
// which side a sample takes when rates are exact multiples and it would
// fall on a sent bit's boundary.
Nanos sampleOffset(const UartSettings& receiver, std::uint32_t k) {
  return static_cast<Nanos>((32U * static_cast<std::uint64_t>(k) + 17U) *
                            static_cast<std::uint64_t>(kNanosPerSecond) /
                            (32U * static_cast<std::uint64_t>(receiver.baud)));
}

std::uint32_t onesIn(std::uint32_t bits) {
  std::uint32_t ones = 0;
  for (; bits != 0; bits >>= 1) ones += bits & 1U;
  return ones;
}

}  // namespace

std::string describeLine(const UartSettings& line) {
  static constexpr char kParityLetters[] = {'N', 'O', 'E', 'M', 'S'};
  std::string text = std::to_string(line.baud) + " " + std::to_string(line.dataBits);
  text += kParityLetters[static_cast<std::size_t>(line.parity)];
  return text + std::to_string(line.stopBits);
}

bool BitNoise::flips() {
  if (rate_ <= 0.0) return false;
  // 53 random bits make a uniform double in [0, 1).
  const double uniform = static_cast<double>(random_() >> 11U) * 0x1.0p-53;
  return uniform < rate_;
}

Nanos UartLine::Character::boundary(std::uint32_t index) const {
  // Rounded up, so that the bit found at a moment (rounded down below)
  // changes exactly at its boundary.
  return start + (static_cast<Nanos>(index) * length + bits - 1) / bits;
}

Nanos UartLine::send(std::uint8_t byte, const UartSettings& sender, Nanos start) {
  const Nanos length = static_cast<Nanos>(sender.bitsPerCharacter()) * kNanosPerSecond /
                       static_cast<Nanos>(sender.baud);
  return send(byte, sender, start, length);
}

Nanos UartLine::send(std::uint8_t byte, const UartSettings& sender, Nanos start, Nanos length) {
  start = std::max({start, busyUntil_, observedUntil_});
  const std::uint32_t data = byte & sender.dataMask();
  // Start bit 0 at bit 0, the data from bit 1, then parity and stop bits.
  std::uint32_t levels = data << 1U;
  std::uint32_t next = 1U + sender.dataBits;
  if (sender.parity != Parity::kNone) {
    if (parityBit(sender.parity, onesIn(data))) levels |= 1U << next;
    ++next;
  }
  for (std::uint32_t stop = 0; stop < sender.stopBits; ++stop) levels |= 1U << next++;
  for (std::uint32_t bit = 0; bit < next; ++bit) {
    if (noise_.flips()) levels ^= 1U << bit;
  }
  const bool levelBefore = start == busyUntil_ ? lastLevel_ : true;
  const Character character{start,
                            std::max<Nanos>(length, 1),
                            static_cast<std::uint16_t>(levels),
                            static_cast<std::uint8_t>(next),
                            levelBefore,
                            static_cast<std::uint8_t>(data)};
  wire_.push_back(character);
  busyUntil_ = character.end();
  lastLevel_ = character.level(next - 1U);
  return busyUntil_;
}

bool UartLine::levelAt(Nanos time) const {
  auto after = std::upper_bound(wire_.begin(), wire_.end(), time,
                                [](Nanos t, const Character& c) { return t < c.start; });
  if (after == wire_.begin()) return true;
  const Character& character = *(after - 1);
  if (time >= character.end()) return true;  // idle between characters
  const auto index =
      static_cast<std::uint32_t>((time - character.start) * character.bits / character.length);
  return character.level(index);
}

std::optional<Nanos> UartLine::fallingEdgeAfter(Nanos after) const {
  auto from = std::partition_point(wire_.begin(), wire_.end(),
                                   [after](const Character& c) { return c.end() <= after; });
  for (auto it = from; it != wire_.end(); ++it) {
    for (std::uint32_t bit = 0; bit < it->bits; ++bit) {
      const bool before = bit == 0 ? it->levelBefore : it->level(bit - 1U);
      if (!before || it->level(bit)) continue;
      const Nanos edge = it->boundary(bit);
      if (edge > after) return edge;
    }
  }
  return std::nullopt;
}

bool UartLine::sentAsReceived(Nanos edge, std::uint8_t value) const {
  auto at = std::lower_bound(wire_.begin(), wire_.end(), edge,
                             [](const Character& c, Nanos t) { return c.start < t; });
  return at != wire_.end() && at->start == edge && at->value == value;
}

UartLine::Decode UartLine::decode(const UartSettings& receiver, Nanos until, ReceivedByte& byte,
                                  Nanos& huntAfter) const {
  for (;;) {
    const std::optional<Nanos> edge = fallingEdgeAfter(huntAfter);
    if (!edge) return Decode::kNone;
    // Sample k: 0 is the start bit.
    const auto sample = [&](std::uint32_t k) { return *edge + sampleOffset(receiver, k); };
    if (sample(0) > until) return Decode::kPending;
    if (levelAt(sample(0))) {
      huntAfter = sample(0);  // a glitch, no start bit
      continue;
    }
    std::uint32_t k = 1;
    std::uint32_t value = 0;
    for (std::uint32_t bit = 0; bit < receiver.dataBits; ++bit, ++k) {
      if (levelAt(sample(k))) value |= 1U << bit;
    }
    byte = ReceivedByte{static_cast<std::uint8_t>(value), 0, 0, false};
    bool allZero = value == 0;
    if (receiver.parity != Parity::kNone) {
      const bool parity = levelAt(sample(k++));
      if (parity != parityBit(receiver.parity, onesIn(value))) byte.errors |= line_error::kParity;
      allZero = allZero && !parity;
    }
    // Only the first stop bit is looked at, as UARTs do.
    byte.complete = sample(k);
    if (byte.complete > until) return Decode::kPending;
    if (!levelAt(byte.complete)) {
      byte.errors |= line_error::kFraming;
      if (allZero) byte.errors |= line_error::kBreak;
    }
    byte.garbled = byte.errors != 0 || !sentAsReceived(*edge, byte.value);
    huntAfter = byte.complete;
    return Decode::kByte;
  }
}

std::vector<ReceivedByte> UartLine::receive(const UartSettings& receiver, Nanos until) {
  std::vector<ReceivedByte> received;
  for (;;) {
    ReceivedByte byte;
    Nanos huntAfter = huntAfter_;
    const Decode outcome = decode(receiver, until, byte, huntAfter);
    if (outcome == Decode::kByte) {
      received.push_back(byte);
      huntAfter_ = huntAfter;
      continue;
    }
    // No falling edge anywhere ahead: nothing sent later can start before
    // `until`, so the hunt goes on from there.
    if (outcome == Decode::kNone && until != kNever) huntAfter_ = std::max(huntAfter_, until - 1);
    break;
  }
  observedUntil_ = std::max(observedUntil_, until);
  forgetPast();
  return received;
}

void UartLine::forgetPast() {
  // Every later sample lies after huntAfter_.
  while (!wire_.empty() && wire_.front().end() <= huntAfter_) wire_.pop_front();
}

std::optional<Nanos> UartLine::nextCompletion(const UartSettings& receiver) const {
  ReceivedByte byte;
  Nanos huntAfter = huntAfter_;
  if (decode(receiver, std::numeric_limits<Nanos>::max(), byte, huntAfter) != Decode::kByte) {
    return std::nullopt;
  }
  return byte.complete;
}

bool UartLine::quiet(const UartSettings& receiver, Nanos now) const {
  return busyUntil_ <= now && !nextCompletion(receiver);
}

void UartLine::withdrawUnobserved() {
  bool withdrawn = false;
  while (!wire_.empty() && wire_.back().start >= observedUntil_) {
    wire_.pop_back();
    withdrawn = true;
  }
  if (!withdrawn) return;
  busyUntil_ = wire_.empty() ? observedUntil_ : wire_.back().end();
  lastLevel_ = wire_.empty() || wire_.back().level(wire_.back().bits - 1U);
}

}  // namespace scalecheck::sim
