#pragma once

#include <cstddef>
#include <string>

namespace scalecheck::platform {

// Windows-1251, the code page of every text the program shows or stores.
// Source files keep the texts readable in UTF-8; cp1251("...") turns such a
// literal into Windows-1251 bytes while compiling, and refuses (does not
// compile) a character the code page lacks.

// Unicode code points of the bytes 0x80..0xFF; 0 where the code page has no
// character (0x98).
inline constexpr char16_t kCp1251UpperHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

template <std::size_t N>
struct Cp1251Text {
  char bytes[N]{};  // NUL terminated; never longer than the UTF-8 source
  std::size_t size = 0;
  constexpr const char* c_str() const { return bytes; }
};

// The Windows-1251 byte of a code point, or false where the code page
// lacks it.
constexpr bool cp1251ByteOf(char32_t codePoint, char& byte) {
  if (codePoint < 0x80) {
    byte = static_cast<char>(codePoint);
    return true;
  }
  for (std::size_t i = 0; i < 128; ++i) {
    if (kCp1251UpperHalf[i] != 0 && kCp1251UpperHalf[i] == codePoint) {
      byte = static_cast<char>(static_cast<unsigned char>(0x80 + i));
      return true;
    }
  }
  return false;
}

namespace detail {
constexpr char cp1251Byte(char32_t codePoint) {
  char byte = '\0';
  if (!cp1251ByteOf(codePoint, byte)) {
    throw "character not in Windows-1251";  // a compile error in constant evaluation
  }
  return byte;
}
}  // namespace detail

template <std::size_t N>
constexpr Cp1251Text<N> cp1251(const char (&utf8)[N]) {
  Cp1251Text<N> text{};
  std::size_t in = 0;
  while (in + 1 < N && utf8[in] != '\0') {
    const auto lead = static_cast<unsigned char>(utf8[in]);
    char32_t codePoint = lead;
    std::size_t extra = 0;
    if (lead >= 0xF0) {
      codePoint = lead & 0x07u;
      extra = 3;
    } else if (lead >= 0xE0) {
      codePoint = lead & 0x0Fu;
      extra = 2;
    } else if (lead >= 0xC0) {
      codePoint = lead & 0x1Fu;
      extra = 1;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
      codePoint = (codePoint << 6) | (static_cast<unsigned char>(utf8[in + k]) & 0x3Fu);
    }
    in += extra + 1;
    text.bytes[text.size++] = detail::cp1251Byte(codePoint);
  }
  return text;
}

// Code point of one Windows-1251 byte; U+FFFD for the one unassigned byte.
char32_t cp1251ToCodePoint(unsigned char byte);

// The bytes as UTF-8 (for terminals) or UTF-16 (for the Windows console).
std::string cp1251ToUtf8(const char* bytes, std::size_t length);
std::u16string cp1251ToUtf16(const char* bytes, std::size_t length);

}  // namespace scalecheck::platform
