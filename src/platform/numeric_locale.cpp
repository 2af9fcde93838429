#include "platform/numeric_locale.h"

#include <charconv>
#include <clocale>
#include <cstring>
#include <string>

namespace scalecheck::platform {
namespace {

char gSeparator = '.';

// Decimal separators of the locales the program may select, for systems
// that do not have them installed.
char knownSeparator(const char* name) {
  if (std::strncmp(name, "ru", 2) == 0) return ',';
  return '.';
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

bool selectLocale(const char* name) {
  const char* selected = std::setlocale(LC_ALL, name);
  const std::lconv* conventions = selected != nullptr ? std::localeconv() : nullptr;
  if (conventions != nullptr && conventions->decimal_point != nullptr &&
      conventions->decimal_point[0] != '\0' && conventions->decimal_point[1] == '\0') {
    gSeparator = conventions->decimal_point[0];
  } else {
    gSeparator = knownSeparator(name);
  }
  return selected != nullptr;
}

char decimalSeparator() {
  return gSeparator;
}

std::size_t formatFixed(char* out, std::size_t size, double value, int decimals) {
  return formatFixed(out, size, value, decimals, gSeparator);
}

namespace {

// printf-style text of `value` in `format` with `precision`, the point
// written as `separator`; bounded like snprintf.
std::size_t formatAs(char* out, std::size_t size, double value, std::chars_format format,
                     int precision, char separator) {
  if (precision < 0) precision = 6;  // printf's default precision
  // Large enough for any double in fixed notation (309 integer digits) with
  // the greatest precision callers use.
  char text[400];
  const auto result = std::to_chars(text, text + sizeof text, value, format, precision);
  const auto length = result.ec == std::errc() ? static_cast<std::size_t>(result.ptr - text) : 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] == '.') text[i] = separator;
    if (text[i] == 'e') text[i] = 'E';  // as "%E" writes the exponent
  }
  if (size > 0) {
    const std::size_t kept = length < size - 1 ? length : size - 1;
    std::memcpy(out, text, kept);
    out[kept] = '\0';
  }
  return length;
}

}  // namespace

std::size_t formatFixed(char* out, std::size_t size, double value, int decimals, char separator) {
  return formatAs(out, size, value, std::chars_format::fixed, decimals, separator);
}

std::size_t formatScientific(char* out, std::size_t size, double value, int digits,
                             char separator) {
  return formatAs(out, size, value, std::chars_format::scientific, digits, separator);
}

double convertDecimal(const char* text) {
  return convertDecimal(text, gSeparator);
}

double convertDecimal(const char* text, char separator) {
  // Bring the text to the form from_chars reads: digits with a '.' point.
  std::string plain;
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  bool pointTaken = false;
  for (;; ++p) {
    if (isDigit(*p)) {
      plain.push_back(*p);
    } else if (*p == separator && !pointTaken) {
      pointTaken = true;
      plain.push_back('.');
    } else {
      break;
    }
  }
  double value = 0.0;
  std::from_chars(plain.data(), plain.data() + plain.size(), value);  // "" or "." leave 0
  return negative ? -value : value;
}

}  // namespace scalecheck::platform
