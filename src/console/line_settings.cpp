#include "console/line_settings.h"

namespace scalecheck::console {
namespace {

struct LineOption {
  std::uint8_t parity;
  std::uint8_t dataBits;
};
constexpr LineOption kOptions[] = {
    {parity::kNone, 8},  // 1: 9600,None,8,1
    {parity::kEven, 7},  // 2: 9600,Even,7,1, the RLV model
};

const char* parityName(std::uint8_t parity) {
  switch (parity) {
    case parity::kNone:
      return "None";
    case parity::kOdd:
      return "Odd";
    case parity::kEven:
      return "Even";
    case parity::kMark:
      return "Mark";
    case parity::kSpace:
      return "Space";
    default:
      return "?";
  }
}

const char* stopBitsName(std::uint8_t stopBits) {
  switch (stopBits) {
    case stop_bits::kOne:
      return "1";
    case stop_bits::kOneAndHalf:
      return "1.5";
    case stop_bits::kTwo:
      return "2";
    default:
      return "?";
  }
}

}  // namespace

LinkSettings serialLineOption(std::int32_t option) {
  const LineOption& chosen = kOptions[option == kLastLineOption ? 1 : 0];
  LinkSettings settings;
  settings.mode = LinkMode::kRs232;
  settings.tcpPort = 0;
  settings.baudRate = 9600;
  settings.parity = chosen.parity;
  settings.dataBits = chosen.dataBits;
  settings.stopBits = stop_bits::kOne;
  return settings;
}

std::string lineSettingsText(const LinkSettings& settings) {
  return std::to_string(settings.baudRate) + "," + parityName(settings.parity) + "," +
         std::to_string(settings.dataBits) + "," + stopBitsName(settings.stopBits);
}

}  // namespace scalecheck::console
