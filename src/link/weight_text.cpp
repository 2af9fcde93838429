#include "link/weight_text.h"

#include <cstring>

#include "platform/numeric_locale.h"

namespace scalecheck {
namespace {

// Sign, one digit, separator, these decimals and "E+38": 15 characters.
constexpr int kScientificDecimals = 8;

}  // namespace

void fitWeightText(char* text, std::size_t maxLength, char separator, double value) {
  const std::size_t length = std::strlen(text);
  if (length <= maxLength) return;
  const char* point = std::strchr(text, separator);
  const std::size_t integerLength =
      point != nullptr ? static_cast<std::size_t>(point - text) : length;
  if (integerLength <= maxLength) {
    // Keep the separator only when at least one decimal follows it.
    text[maxLength > integerLength + 1 ? maxLength : integerLength] = '\0';
    return;
  }
  // Fewer decimals only for magnitudes no frame's number reaches.
  for (int decimals = kScientificDecimals; decimals >= 0; --decimals) {
    if (platform::formatScientific(text, maxLength + 1, value, decimals, separator) <= maxLength) {
      return;
    }
  }
}

}  // namespace scalecheck
