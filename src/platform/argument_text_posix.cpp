#include "platform/argument_text.h"

#include <cstdint>

#include "platform/cp1251.h"

namespace scalecheck::platform {
namespace {

constexpr char kUnknown = '?';

// The Windows-1251 byte of a code point, or '?' where the code page lacks it.
char byteFor(char32_t codePoint) {
  char byte = kUnknown;
  return cp1251ByteOf(codePoint, byte) ? byte : kUnknown;
}

// The code point of the UTF-8 sequence at `at`, and its length in `size`;
// size 0 when the bytes there are no well-formed sequence (a stray
// continuation byte, a cut sequence, an overlong form, a surrogate).
char32_t decodeAt(const std::string& text, std::size_t at, std::size_t& size) {
  const auto lead = static_cast<unsigned char>(text[at]);
  size = 0;
  if (lead < 0x80) {
    size = 1;
    return lead;
  }
  std::size_t extra = 0;
  char32_t codePoint = 0;
  char32_t lowest = 0;  // anything below is an overlong form
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    codePoint = lead & 0x1FU;
    lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    codePoint = lead & 0x0FU;
    lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    codePoint = lead & 0x07U;
    lowest = 0x10000;
  } else {
    return 0;
  }
  if (at + extra >= text.size()) return 0;
  for (std::size_t k = 1; k <= extra; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0U) != 0x80U) return 0;
    codePoint = (codePoint << 6) | (next & 0x3FU);
  }
  if (codePoint < lowest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return 0;
  }
  size = extra + 1;
  return codePoint;
}

}  // namespace

std::string argumentAs1251(const std::string& argument) {
  std::string text;
  text.reserve(argument.size());
  std::size_t at = 0;
  while (at < argument.size()) {
    std::size_t size = 0;
    const char32_t codePoint = decodeAt(argument, at, size);
    text += size == 0 ? kUnknown : byteFor(codePoint);
    at += size == 0 ? 1 : size;
  }
  return text;
}

}  // namespace scalecheck::platform
