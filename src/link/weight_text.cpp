#include "link/weight_text.h"

#include <cstring>

namespace scalecheck {

bool fitWeightText(char* text, std::size_t maxLength, char separator) {
  std::size_t length = std::strlen(text);
  if (length <= maxLength) return true;
  const char* point = std::strchr(text, separator);
  const std::size_t integerLength =
      point != nullptr ? static_cast<std::size_t>(point - text) : length;
  if (integerLength > maxLength) return false;
  // Keep the separator only when at least one decimal follows it.
  length = maxLength > integerLength + 1 ? maxLength : integerLength;
  text[length] = '\0';
  return true;
}

}  // namespace scalecheck
