#include "console/answer_parsing.h"

#include <cstring>
#include <limits>

namespace scalecheck::console {
namespace {

constexpr std::int32_t kLowestPort = 1;
constexpr std::int32_t kHighestPort = 256;
constexpr std::size_t kPortDigitsKept = 3;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

bool hasComPrefix(const char* line) {
  auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); };
  return lower(line[0]) == 'c' && lower(line[1]) == 'o' && lower(line[2]) == 'm';
}

}  // namespace

std::int32_t leadingInteger(const char* text) {
  const char* p = text;
  while (isSpace(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  // Accumulate toward the sign's side, so that the most negative value fits.
  constexpr std::int64_t kHigh = std::numeric_limits<std::int32_t>::max();
  constexpr std::int64_t kLow = std::numeric_limits<std::int32_t>::min();
  std::int64_t value = 0;
  for (; isDigit(*p); ++p) {
    const int digit = *p - '0';
    value = negative ? value * 10 - digit : value * 10 + digit;
    if (value > kHigh) return static_cast<std::int32_t>(kHigh);
    if (value < kLow) return static_cast<std::int32_t>(kLow);
  }
  return static_cast<std::int32_t>(value);
}

std::int32_t portNumberFromAnswer(const char* line) {
  char digits[8] = {};  // never holds more than three digits
  std::size_t count = 0;
  for (const char* p = line; *p != '\0' && count < kPortDigitsKept; ++p) {
    if (isDigit(*p)) digits[count++] = *p;
  }
  if (std::strlen(line) > kPortDigitsKept && !hasComPrefix(line)) return 0;
  const std::int32_t number = leadingInteger(digits);
  return number >= kLowestPort && number <= kHighestPort ? number : 0;
}

}  // namespace scalecheck::console
