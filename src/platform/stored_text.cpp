#include "platform/stored_text.h"

namespace scalecheck::platform {

std::string storedAsText(const char* bytes, std::size_t length) {
  std::string stored;
  stored.reserve(length + length / 8 + 2);
  for (std::size_t i = 0; i < length; ++i) {
    if (bytes[i] == '\n') stored += '\r';
    stored += bytes[i];
  }
  return stored;
}

}  // namespace scalecheck::platform
