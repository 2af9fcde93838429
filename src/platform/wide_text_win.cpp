#include "platform/wide_text_win.h"

#include <windows.h>

namespace scalecheck::platform {

std::string wideToCp1251(const wchar_t* text, int length) {
  // Windows-1251 takes one byte a character, so the buffer holds the text.
  const int characters = length < 0 ? static_cast<int>(wcslen(text)) : length;
  if (characters == 0) return "";
  std::string bytes(static_cast<std::size_t>(characters), '\0');
  const int written = WideCharToMultiByte(1251, 0, text, characters, bytes.data(),
                                          static_cast<int>(bytes.size()), nullptr, nullptr);
  bytes.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return bytes;
}

}  // namespace scalecheck::platform
