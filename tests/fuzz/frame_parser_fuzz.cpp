// Any bytes as a frame from the scale: parsed with either decimal
// separator, then shown as the console's reading line and the log record.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "console/measurement_log.h"
#include "console/reading_line.h"
#include "fuzz_check.h"
#include "platform/cp1251.h"
#include "platform/numeric_locale.h"
#include "protocol/frame_parser.h"

namespace scalecheck::fuzzing {
namespace {

// The letters of the stability and unit tags ("Ст", "нСт", "мг", "г", "кг", "т").
constexpr auto kTagLetters = platform::cp1251("Стнмгк");
const platform::CalendarTime kStamp{2026, 12, 8, 14, 3, 5};

std::string weightBytes(char separator) {
  return std::string("0123456789-+E") + separator;
}

// The number a weight text shows, and what its last digit is worth.
bool readWeightText(const char* text, char separator, double& value, double& lastDigit) {
  std::string plain(text);
  std::replace(plain.begin(), plain.end(), separator, '.');
  const char* end = plain.data() + plain.size();
  const std::from_chars_result read = std::from_chars(plain.data(), end, value);
  if (read.ec != std::errc() || read.ptr != end) return false;
  const std::size_t exponent = std::min(plain.find('E'), plain.size());
  const std::size_t point = plain.find('.');
  const int decimals = point < exponent ? static_cast<int>(exponent - point - 1) : 0;
  const int power = exponent < plain.size() ? std::atoi(plain.c_str() + exponent + 1) : 0;
  lastDigit = std::pow(10.0, power - decimals);
  return true;
}

void requireWeightText(const char* text, char separator, double weight) {
  require(terminatedWithin(text, kWeightTextSize), "the weight text ends within its 16 bytes");
  require(text[0] != '\0', "a weight text is never empty");
  require(onlyBytesOf(text, weightBytes(separator).c_str()),
          "a weight text holds digits, its separator, a sign and an exponent only");
  double shown = 0.0;
  double lastDigit = 0.0;
  require(readWeightText(text, separator, shown, lastDigit), "a weight text is one number");
  // Rounded or cut to fit, it is off by less than its last digit's worth.
  require(std::fabs(shown - weight) <= lastDigit + std::fabs(weight) * 1e-12,
          "a weight text shows the weight");
}

void requireParsedReading(const WeightReading& reading, char separator) {
  require(reading.valid == 0 && reading.acquisitionMode == AcquisitionMode::kNone,
          "a parsed frame is not yet a reading of the link");
  require(reading.stability == StabilityState::kStable ||
              reading.stability == StabilityState::kUnstable,
          "a parsed frame states its stability");
  require(reading.unit >= WeightUnit::kMilligram && reading.unit <= WeightUnit::kTonne,
          "a parsed frame states its unit");
  require(reading.hasPoint <= 1 && (reading.hasPoint == 1 || reading.decimals == 0),
          "decimals are counted only after a point");
  require(std::isfinite(reading.preciseWeight), "the weight is a finite number");
  require(reading.weight == static_cast<float>(reading.preciseWeight),
          "the float weight is the double weight rounded to float");
  require(std::signbit(reading.weight) == std::signbit(reading.preciseWeight),
          "the float weight carries the sign of the double weight");
  requireWeightText(reading.weightText, separator, reading.preciseWeight);
}

// The reading as the poll loop shows it and logs it.
void requireShownReading(const WeightReading& parsed, AcquisitionMode mode) {
  WeightReading reading = parsed;
  reading.valid = 1;
  reading.acquisitionMode = mode;
  const char separator = platform::decimalSeparator();

  char weight[kWeightTextSize];
  fillCanary(weight, sizeof weight);
  console::formatReadingWeight(reading, weight);
  requireWeightText(weight, separator, reading.preciseWeight);

  char line[console::kReadingLineSize];
  fillCanary(line, sizeof line);
  console::formatReadingLine(reading, weight, line);
  require(terminatedWithin(line, sizeof line), "the reading line ends within its 128 bytes");
  require(std::strstr(line, weight) != nullptr, "the reading line shows the weight text whole");
  const std::string lineBytes =
      " ~2,adAD[]" + std::string(kTagLetters.c_str()) + weightBytes(separator);
  require(onlyBytesOf(line, lineBytes.c_str()),
          "the reading line holds its tags, the weight text and the unit only");

  char record[console::kLogRecordSize];
  fillCanary(record, sizeof record);
  console::formatLogRecord(kStamp, line, weight, record);
  require(terminatedWithin(record, sizeof record), "the log record ends within its 260 bytes");
  const std::size_t length = std::strlen(record);
  require(
      length > 0 && record[length - 1] == '\n' && std::memchr(record, '\n', length - 1) == nullptr,
      "the log record is one whole line");
  require(onlyBytesOf(record, (lineBytes + "\";.:\n").c_str()),
          "the log record holds its stamp, the line and the weight text only");
}

bool parseWith(char separator, const std::uint8_t* data, std::int32_t length,
               WeightReading& reading) {
  fillCanary(&reading, sizeof reading);
  FrameRejection why = FrameRejection::kNone;
  const bool parsed = parseFrame(separator, data, length, reading, &why);
  if (!parsed) {
    require(holdsCanary(&reading, sizeof reading), "a refused frame leaves the record untouched");
    require(why != FrameRejection::kNone, "a refused frame is told why");
  }
  return parsed;
}

// The sign is the last "+" or "-" before the number's first digit: the
// first digit that follows a space or a "-".
void requireSign(const std::uint8_t* data, std::int32_t length, const WeightReading& reading) {
  bool negative = false;
  for (std::int32_t i = 0; i < length; ++i) {
    const bool digit = data[i] >= '0' && data[i] <= '9';
    if (digit && i >= 1 && (data[i - 1] == ' ' || data[i - 1] == '-')) break;
    if (data[i] == '-' || data[i] == '+') negative = data[i] == '-';
  }
  require(std::signbit(reading.preciseWeight) == negative,
          "the weight's sign is the last sign before its number");
}

// What follows the unit is another field: appending one changes nothing.
void requireFieldAfterUnitIgnored(const std::uint8_t* data, std::int32_t length,
                                  const WeightReading& reading) {
  static const std::string kField = " -12 34.5 kg ID 7";
  std::string longer(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
  longer += kField;
  WeightReading again;
  require(parseWith(',', reinterpret_cast<const std::uint8_t*>(longer.data()),
                    static_cast<std::int32_t>(longer.size()), again),
          "a frame still parses with a field after it");
  require(again.preciseWeight == reading.preciseWeight && again.unit == reading.unit &&
              again.decimals == reading.decimals &&
              std::strcmp(again.weightText, reading.weightText) == 0,
          "a field after the unit leaves the reading as it was");
}

void checkFrame(const std::uint8_t* data, std::int32_t length) {
  WeightReading comma;
  WeightReading point;
  const bool parsedComma = parseWith(',', data, length, comma);
  const bool parsedPoint = parseWith('.', data, length, point);
  // The link's separator shapes the texts only, never what the frame says.
  require(parsedComma == parsedPoint, "the separator does not decide whether a frame parses");
  if (!parsedComma) return;
  require(comma.preciseWeight == point.preciseWeight && comma.unit == point.unit &&
              comma.stability == point.stability && comma.decimals == point.decimals,
          "the separator does not change the reading");
  requireParsedReading(comma, ',');
  requireParsedReading(point, '.');
  requireSign(data, length, comma);
  requireFieldAfterUnitIgnored(data, length, comma);
  for (const AcquisitionMode mode :
       {AcquisitionMode::kStream, AcquisitionMode::kCombined, AcquisitionMode::kTwoStep}) {
    requireShownReading(comma, mode);
  }
}

}  // namespace
}  // namespace scalecheck::fuzzing

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  scalecheck::platform::selectLocale("ru-RU");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return 0;
  scalecheck::fuzzing::runChecked(
      [&] { scalecheck::fuzzing::checkFrame(data, static_cast<std::int32_t>(size)); });
  return 0;
}
