#include "platform/cp1251.h"

#include <gtest/gtest.h>

namespace scalecheck::platform {
namespace {

TEST(Cp1251, LiteralsBecomeCodePageBytesWhileCompiling) {
  constexpr auto text = cp1251("Ст[ кг ёЁ №");
  static_assert(text.size == 11, "one byte per character");
  EXPECT_EQ(std::string(text.c_str(), text.size), "\xD1\xF2[ \xEA\xE3 \xB8\xA8 \xB9");
}

TEST(Cp1251, EveryByteRoundTripsThroughUtf8AndUtf16) {
  for (int byte = 1; byte < 256; ++byte) {
    if (byte == 0x98) continue;  // the one byte the code page leaves unassigned
    const char c = static_cast<char>(byte);
    const std::string utf8 = cp1251ToUtf8(&c, 1);
    const std::u16string utf16 = cp1251ToUtf16(&c, 1);
    ASSERT_EQ(utf16.size(), 1U) << byte;
    EXPECT_EQ(static_cast<char32_t>(utf16[0]), cp1251ToCodePoint(static_cast<unsigned char>(byte)));
    EXPECT_EQ(utf8.size(), byte < 0x80 ? 1U : utf16[0] < 0x800 ? 2U : 3U) << byte;
  }
  EXPECT_EQ(cp1251ToUtf8("\xC0\xFF\xB9", 3), "Ая№");
  EXPECT_EQ(cp1251ToCodePoint(0x98), U'\xFFFD');
}

}  // namespace
}  // namespace scalecheck::platform
