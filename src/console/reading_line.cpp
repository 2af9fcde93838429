#include "console/reading_line.h"

#include "link/bounded_text.h"
#include "link/weight_text.h"
#include "platform/cp1251.h"
#include "platform/numeric_locale.h"

namespace scalecheck::console {
namespace {

using platform::cp1251;

constexpr auto kStable = cp1251(" Ст[");
constexpr auto kUnstable = cp1251(" нСт[");
constexpr auto kMilligram = cp1251(" мг");
constexpr auto kGram = cp1251(" г");
constexpr auto kKilogram = cp1251(" кг");
constexpr auto kTonne = cp1251(" т");

const char* stabilityTag(StabilityState stability) {
  switch (stability) {
    case StabilityState::kStable:
      return kStable.c_str();
    case StabilityState::kUnstable:
      return kUnstable.c_str();
    case StabilityState::kNotStated:
      break;
  }
  return "";
}

const char* unitTag(WeightUnit unit) {
  switch (unit) {
    case WeightUnit::kMilligram:
      return kMilligram.c_str();
    case WeightUnit::kGram:
      return kGram.c_str();
    case WeightUnit::kKilogram:
      return kKilogram.c_str();
    case WeightUnit::kTonne:
      return kTonne.c_str();
    case WeightUnit::kNotStated:
      break;
  }
  return " ?";
}

// "%.f" without a point, "%.1f".."%.4f", and "%lf" (six) for any other count.
int displayDecimals(const WeightReading& reading) {
  if (reading.hasPoint == 0) return 0;
  if (reading.decimals >= 1 && reading.decimals <= 4) return reading.decimals;
  return 6;
}

}  // namespace

const char* wayName(AcquisitionMode mode) {
  switch (mode) {
    case AcquisitionMode::kStream:
      return "~22";
    case AcquisitionMode::kCombined:
      return "ad";
    case AcquisitionMode::kTwoStep:
      return "AD";
    case AcquisitionMode::kNone:
      break;
  }
  return "??";
}

void formatReadingWeight(const WeightReading& reading, char (&text)[kWeightTextSize]) {
  char full[64];
  const char separator = platform::decimalSeparator();
  platform::formatFixed(full, sizeof full, reading.preciseWeight, displayDecimals(reading),
                        separator);
  fitWeightText(full, kWeightTextSize - 1, separator, reading.preciseWeight);
  copyBounded(text, full);
}

void formatReadingLine(const WeightReading& reading, const char* weightText,
                       char (&line)[kReadingLineSize]) {
  // The mode tag: "  AD," and the like.
  copyBounded(line, "  ");
  appendBounded(line, wayName(reading.acquisitionMode));
  appendBounded(line, ",");
  appendBounded(line, stabilityTag(reading.stability));
  appendBounded(line, weightText);
  appendBounded(line, "]");
  appendBounded(line, unitTag(reading.unit));
}

}  // namespace scalecheck::console
