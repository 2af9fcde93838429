#pragma once

#include <cstdint>
#include <string>

namespace scalecheck::sim {

// Mark and space are "stick" parity: the bit is always 1 or always 0.
enum class Parity : std::uint8_t { kNone, kOdd, kEven, kMark, kSpace };

// How a UART frames each character on the wire: a start bit (0), the data
// bits least significant first, a parity bit unless kNone, then the stop
// bits (1). The line idles at 1 between characters.
struct UartSettings {
  std::uint32_t baud = 9600;
  std::uint8_t dataBits = 8;  // 5..8
  Parity parity = Parity::kNone;
  std::uint8_t stopBits = 1;  // 1 or 2

  std::uint32_t bitsPerCharacter() const {
    return 1U + dataBits + (parity == Parity::kNone ? 0U : 1U) + stopBits;
  }

  // The data bits a character of these settings can carry.
  std::uint8_t dataMask() const { return static_cast<std::uint8_t>((1U << dataBits) - 1U); }

  friend bool operator==(const UartSettings& a, const UartSettings& b) {
    return a.baud == b.baud && a.dataBits == b.dataBits && a.parity == b.parity &&
           a.stopBits == b.stopBits;
  }
  friend bool operator!=(const UartSettings& a, const UartSettings& b) { return !(a == b); }
};

// "9600 8N1", "1200 7E2": the rate and the usual framing letters.
std::string describeLine(const UartSettings& line);

}  // namespace scalecheck::sim
