#include "fuzz_check.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace scalecheck::fuzzing {

void require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "\nProperty failed: %s\n", property);
  std::abort();
}

void runChecked(const std::function<void()>& check) {
  try {
    check();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "\nException: %s\n", error.what());
    std::abort();
  }
}

void fillCanary(void* bytes, std::size_t size) {
  std::memset(bytes, kCanaryByte, size);
}

bool holdsCanary(const void* bytes, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  for (std::size_t i = 0; i < size; ++i) {
    if (p[i] != kCanaryByte) return false;
  }
  return true;
}

bool terminatedWithin(const char* text, std::size_t size) {
  return std::memchr(text, '\0', size) != nullptr;
}

bool onlyBytesOf(const char* text, const char* allowed) {
  return std::strspn(text, allowed) == std::strlen(text);
}

}  // namespace scalecheck::fuzzing
