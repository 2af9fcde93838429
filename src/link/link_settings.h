#pragma once

#include <cstdint>
#include <string>

namespace scalecheck {

enum class LinkMode : std::int32_t {
  kNone = 0,
  kRs232 = 1,
  kTcp = 2,
};

// Serial parity and stop-bit codes are the Win32 device-control-block codes.
namespace parity {
constexpr std::uint8_t kNone = 0;
constexpr std::uint8_t kOdd = 1;
constexpr std::uint8_t kEven = 2;
constexpr std::uint8_t kMark = 3;
constexpr std::uint8_t kSpace = 4;
}  // namespace parity

namespace stop_bits {
constexpr std::uint8_t kOne = 0;
constexpr std::uint8_t kOneAndHalf = 1;
constexpr std::uint8_t kTwo = 2;
}  // namespace stop_bits

constexpr std::size_t kHostSize = 16;  // 15 characters and the NUL: a dotted IPv4 address

// How to reach one scale.
struct LinkSettings {
  LinkMode mode = LinkMode::kNone;
  std::int32_t comNumber = 0;  // 1..256
  std::int32_t tcpPort = 0;    // 0: none given
  std::int32_t baudRate = 9600;
  std::uint8_t parity = parity::kNone;
  std::uint8_t dataBits = 8;
  std::uint8_t stopBits = stop_bits::kOne;
  char host[kHostSize] = {};  // NUL terminated
  // The host name as the operator gave it, where `host` holds the address
  // it was looked up to (a name of any length); for messages only. Empty:
  // `host` is as given.
  std::string hostName;
  // A serial device named by its path ("/dev/ttyUSB0") rather than by the
  // COM number; empty: the COM number names the port.
  std::string devicePath;
};

}  // namespace scalecheck
