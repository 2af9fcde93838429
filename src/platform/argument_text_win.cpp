#include <windows.h>

#include <vector>

#include "platform/argument_text.h"

namespace scalecheck::platform {

// A byte that is no character of the ANSI code page becomes U+FFFD, which
// Windows-1251 lacks. WC_NO_BEST_FIT_CHARS: a character the code page
// lacks becomes '?' rather than a look-alike (é as e).
std::string argumentAs1251(const std::string& argument) {
  if (argument.empty()) return "";
  const auto length = static_cast<int>(argument.size());
  std::vector<wchar_t> wide(argument.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, argument.data(), length, wide.data(), length);
  if (units <= 0) return std::string(argument.size(), '?');
  std::string text(static_cast<std::size_t>(units) * 2, '\0');
  const int bytes = WideCharToMultiByte(1251, WC_NO_BEST_FIT_CHARS, wide.data(), units, text.data(),
                                        static_cast<int>(text.size()), "?", nullptr);
  text.resize(bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
  return text;
}

}  // namespace scalecheck::platform
