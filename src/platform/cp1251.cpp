#include "platform/cp1251.h"

namespace scalecheck::platform {

char32_t cp1251ToCodePoint(unsigned char byte) {
  if (byte < 0x80) return byte;
  const char16_t unit = kCp1251UpperHalf[byte - 0x80];
  return unit == 0 ? char32_t{0xFFFD} : char32_t{unit};
}

std::string cp1251ToUtf8(const char* bytes, std::size_t length) {
  std::string out;
  out.reserve(length * 2);
  for (std::size_t i = 0; i < length; ++i) {
    const char32_t cp = cp1251ToCodePoint(static_cast<unsigned char>(bytes[i]));
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {  // the code page stays inside the Basic Multilingual Plane
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::u16string cp1251ToUtf16(const char* bytes, std::size_t length) {
  std::u16string out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    out.push_back(static_cast<char16_t>(cp1251ToCodePoint(static_cast<unsigned char>(bytes[i]))));
  }
  return out;
}

}  // namespace scalecheck::platform
