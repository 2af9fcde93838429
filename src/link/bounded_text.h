#pragma once

#include <cstddef>
#include <cstring>

namespace scalecheck {

// Every text of the link and the console lives in a fixed-size buffer. These
// copies never write past the buffer and always leave it NUL terminated; they
// return false when the text had to be cut.

inline bool appendBounded(char* buffer, std::size_t size, const char* text, std::size_t length) {
  if (size == 0) return length == 0;
  const void* end = std::memchr(buffer, '\0', size);
  // A buffer that holds no terminator is treated as full.
  const std::size_t used =
      end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - buffer) : size - 1;
  const std::size_t room = size - 1 - used;
  const std::size_t kept = length < room ? length : room;
  std::memcpy(buffer + used, text, kept);
  buffer[used + kept] = '\0';
  return kept == length;
}

inline bool appendBounded(char* buffer, std::size_t size, const char* text) {
  return appendBounded(buffer, size, text, std::strlen(text));
}

inline bool copyBounded(char* buffer, std::size_t size, const char* text) {
  if (size == 0) return text[0] == '\0';
  buffer[0] = '\0';
  return appendBounded(buffer, size, text);
}

template <std::size_t N>
bool appendBounded(char (&buffer)[N], const char* text) {
  return appendBounded(buffer, N, text);
}

template <std::size_t N>
bool copyBounded(char (&buffer)[N], const char* text) {
  return copyBounded(buffer, N, text);
}

}  // namespace scalecheck
