#include "frame_format.h"

#include <charconv>
#include <cmath>

#include "escapes.h"

namespace scalecheck::sim {
namespace {

constexpr std::size_t kDefaultWeightWidth = 7;

const char* unitText(Unit unit) {
  switch (unit) {
    case Unit::kKilogram:
      return "kg";
    case Unit::kGram:
      return "g";
    case Unit::kTonne:
      return "t";
    case Unit::kMilligram:
      return "mg";
    case Unit::kNone:
      break;
  }
  return "";
}

std::string rightAligned(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string weightField(const FrameFields& fields, std::size_t width) {
  const std::string digits = weightDigits(fields.weight, fields.decimals);
  return rightAligned(digits, width > digits.size() ? width : digits.size() + 1);
}

// Reads an optional field width (one or two digits) at text[pos].
std::size_t readWidth(std::string_view text, std::size_t& pos) {
  std::size_t width = 0;
  std::size_t digits = 0;
  while (digits < 2 && pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    width = width * 10 + static_cast<std::size_t>(text[pos] - '0');
    ++pos;
    ++digits;
  }
  return digits == 0 ? kDefaultWeightWidth : width;
}

// Expands the placeholder whose "%" stands at text[pos]; moves pos past it.
bool expandPlaceholder(std::string_view text, std::size_t& pos, const FrameFields& fields,
                       std::string& out, std::string& error) {
  ++pos;
  const std::size_t width = readWidth(text, pos);
  if (pos >= text.size()) {
    error = "a \"%\" at the end of the template";
    return false;
  }
  const char letter = text[pos++];
  const bool minus = showsMinus(fields);
  switch (letter) {
    case 'S':
      out += fields.stable ? "ST" : "US";
      return true;
    case 's':
      out += fields.stable ? "S" : "U";
      return true;
    case '+':
      out += minus ? "-" : "+";
      return true;
    case '-':
      out += minus ? "-" : " ";
      return true;
    case 'W':
      out += weightField(fields, width);
      return true;
    case 'U':
      out += rightAligned(unitText(fields.unit), 2);
      return true;
    case 'u':
      out += unitText(fields.unit);
      return true;
    case '%':
      out += '%';
      return true;
    default:
      error = std::string("unknown placeholder %") + letter;
      return false;
  }
}

}  // namespace

std::string weightDigits(double weight, int decimals) {
  // Room for the integer digits of any weight below kWeightLimit, the point
  // and kMaxDecimals digits; larger requests are refused, not overrun.
  char digits[64];
  const std::to_chars_result result = std::to_chars(
      digits, digits + sizeof digits, std::fabs(weight), std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return "?";
  return std::string(digits, result.ptr);
}

bool showsMinus(const FrameFields& fields) {
  switch (fields.sign) {
    case SignMode::kPlus:
      return false;
    case SignMode::kMinus:
      return true;
    case SignMode::kAuto:
      break;
  }
  return std::signbit(fields.weight) &&
         weightDigits(fields.weight, fields.decimals).find_first_not_of("0.") != std::string::npos;
}

bool renderFrame(std::string_view frameTemplate, const FrameFields& fields, std::string& out,
                 std::string& error) {
  std::string frame;
  std::size_t pos = 0;
  while (pos < frameTemplate.size()) {
    const char c = frameTemplate[pos];
    bool ok = true;
    if (c == '%') {
      ok = expandPlaceholder(frameTemplate, pos, fields, frame, error);
    } else if (c == '\\') {
      ok = decodeEscapeAt(frameTemplate, pos, frame, error);
    } else {
      frame.push_back(c);
      ++pos;
    }
    if (!ok) return false;
  }
  out = std::move(frame);
  return true;
}

}  // namespace scalecheck::sim
