#pragma once

#include <cstring>
#include <string>

#include "platform/console.h"

namespace scalecheck::console {

// A Windows-1251 text to the console, as it stands.
inline void writeText(platform::Console& console, const char* text) {
  console.write(text, std::strlen(text));
}

inline void writeText(platform::Console& console, const std::string& text) {
  console.write(text.data(), text.size());
}

// A Windows-1251 text that reports a failure, where failures go.
inline void writeErrorText(platform::Console& console, const std::string& text) {
  console.writeError(text.data(), text.size());
}

}  // namespace scalecheck::console
