#include "protocol/frame_parser.h"

#include <cmath>
#include <cstdio>

#include "link/bounded_text.h"
#include "link/weight_text.h"
#include "platform/numeric_locale.h"

namespace scalecheck {
namespace {

constexpr std::size_t kNumberStop = 16;  // the scan stops on the 16th character stored
constexpr std::size_t kNumberKept = 15;  // of which the first 15 are converted
constexpr std::int32_t kStabilityWindow = 5;

bool isDigit(std::uint8_t byte) {
  return byte >= '0' && byte <= '9';
}

// What one left-to-right pass over the frame finds.
struct FrameScan {
  char number[kNumberStop + 1] = {};
  std::size_t stored = 0;
  bool collecting = false;
  bool ended = false;     // a run of number characters was closed by another byte
  bool negative = false;  // the last sign before the number's first digit was "-"
  bool hasPoint = false;
  std::uint8_t decimals = 0;
  StabilityState stability = StabilityState::kNotStated;
  bool stabilitySeen = false;
  WeightUnit unit = WeightUnit::kNotStated;
  bool unitSeen = false;
};

void noteStability(FrameScan& scan, std::uint8_t byte) {
  if (byte == 'S' || byte == 's') scan.stability = StabilityState::kStable;
  if (byte == 'U' || byte == 'u') scan.stability = StabilityState::kUnstable;
  scan.stabilitySeen = scan.stability != StabilityState::kNotStated;
}

void noteUnit(FrameScan& scan, const std::uint8_t* frame, std::int32_t i) {
  const std::uint8_t byte = frame[i];
  if (byte == 'g' || byte == 'G') {
    const bool milli = i >= 1 && (frame[i - 1] == 'm' || frame[i - 1] == 'M');
    scan.unit = milli ? WeightUnit::kMilligram : WeightUnit::kGram;
  }
  if (byte == 'k' || byte == 'K') scan.unit = WeightUnit::kKilogram;
  if (byte == 't' || byte == 'T') scan.unit = WeightUnit::kTonne;
  scan.unitSeen = scan.unit != WeightUnit::kNotStated;
}

// Some scales write their decimal point as a comma ("1,234kg"). A comma
// counts as the point only between two digits of a number that has no point
// yet; any other comma ends the number, so the field commas of "ST,GS," keep
// their meaning.
bool isDecimalComma(const FrameScan& scan, const std::uint8_t* frame, std::int32_t length,
                    std::int32_t i) {
  return frame[i] == ',' && !scan.hasPoint && i >= 1 && isDigit(frame[i - 1]) && i + 1 < length &&
         isDigit(frame[i + 1]);
}

// Whether the byte at i belongs to the number text.
bool takesIntoNumber(FrameScan& scan, const std::uint8_t* frame, std::int32_t length,
                     std::int32_t i) {
  const std::uint8_t byte = frame[i];
  if (scan.collecting) {
    if (isDigit(byte) || byte == '.' || isDecimalComma(scan, frame, length, i)) return true;
    scan.collecting = false;
    scan.ended = true;
    return false;
  }
  // A number starts with a digit that follows a space or a minus sign.
  if (i >= 1 && (frame[i - 1] == ' ' || frame[i - 1] == '-') && isDigit(byte)) {
    scan.collecting = true;
    return true;
  }
  return false;
}

void storeNumberByte(FrameScan& scan, std::uint8_t byte, char separator) {
  if (isDigit(byte)) {
    scan.number[scan.stored++] = static_cast<char>(byte);
    if (scan.hasPoint) ++scan.decimals;
  } else {
    scan.number[scan.stored++] = separator;
    scan.hasPoint = true;
  }
}

FrameScan scanFrame(const std::uint8_t* frame, std::int32_t length, char separator) {
  FrameScan scan;
  for (std::int32_t i = 0; i < length; ++i) {
    const std::uint8_t byte = frame[i];
    if (i < kStabilityWindow && !scan.stabilitySeen) noteStability(scan, byte);
    if (takesIntoNumber(scan, frame, length, i)) {
      storeNumberByte(scan, byte, separator);
      if (scan.stored == kNumberStop) break;
      continue;
    }
    // A streaming scale sends frames back to back: once the number has ended,
    // the frame's CR or LF ends it, and what follows is the next frame's.
    if (scan.ended && (byte == '\r' || byte == '\n')) break;
    // Field separators such as the "-" of "G-," may stand before the sign.
    if (scan.stored == 0 && (byte == '-' || byte == '+')) scan.negative = byte == '-';
    if (scan.ended) {
      noteUnit(scan, frame, i);
      // Scales append an ID, a piece count or a tare after the unit: their
      // digits and signs are not the weight's.
      if (scan.unitSeen) break;
    }
  }
  return scan;
}

FrameRejection rejectionOf(const FrameScan& scan) {
  if (scan.stored == 0) return FrameRejection::kNoNumber;
  if (!scan.stabilitySeen) return FrameRejection::kNoStability;
  if (!scan.ended) return FrameRejection::kNumberNotEnded;
  if (!scan.unitSeen) return FrameRejection::kNoUnit;
  return FrameRejection::kNone;
}

// The weight text: "%.<decimals>f" with a point, else "%d" of the weight
// truncated toward zero. A weight beyond the signed 32-bit range has no
// such integer; its text is then the truncated weight written out in full,
// the digits "%d" would give were its integer wide enough. Either text is
// fitted to the field (see fitWeightText).
void formatWeightText(const FrameScan& scan, double weight, char separator,
                      char (&text)[kWeightTextSize]) {
  char full[64];
  if (scan.hasPoint) {
    platform::formatFixed(full, sizeof full, weight, scan.decimals, separator);
  } else if (weight >= -2147483648.0 && weight < 2147483648.0) {
    std::snprintf(full, sizeof full, "%d", static_cast<int>(static_cast<std::int32_t>(weight)));
  } else {
    platform::formatFixed(full, sizeof full, std::trunc(weight), 0, separator);
  }
  fitWeightText(full, kWeightTextSize - 1, separator, weight);
  copyBounded(text, full);
}

}  // namespace

bool parseFrame(char decimalSeparator, const std::uint8_t* frame, std::int32_t length,
                WeightReading& out, FrameRejection* why) {
  FrameRejection rejection = FrameRejection::kTooShort;
  FrameScan scan;
  if (frame != nullptr && length > 0) {
    scan = scanFrame(frame, length, decimalSeparator);
    rejection = rejectionOf(scan);
  }
  if (rejection != FrameRejection::kNone) {
    if (why != nullptr) *why = rejection;
    return false;
  }

  scan.number[kNumberKept] = '\0';  // a 16th character is dropped
  double weight = platform::convertDecimal(scan.number, decimalSeparator);
  if (scan.negative) weight = -weight;
  WeightReading reading;
  formatWeightText(scan, weight, decimalSeparator, reading.weightText);
  reading.stability = scan.stability;
  reading.hasPoint = scan.hasPoint ? 1 : 0;
  reading.decimals = scan.hasPoint ? scan.decimals : 0;
  reading.weight = static_cast<float>(weight);
  reading.preciseWeight = weight;
  reading.unit = scan.unit;
  out = reading;
  return true;
}

}  // namespace scalecheck
