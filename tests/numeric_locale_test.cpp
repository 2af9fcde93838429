#include "platform/numeric_locale.h"

#include <gtest/gtest.h>

#include <string>

namespace scalecheck::platform {
namespace {

// Whatever locales the machine has, "ru-RU" gives the decimal comma.
TEST(NumericLocale, RussianLocaleGivesTheCommaOnEveryMachine) {
  selectLocale("ru-RU");
  EXPECT_EQ(decimalSeparator(), ',');
  char text[16];
  EXPECT_EQ(formatFixed(text, sizeof text, 1.25, 1), 3U);
  EXPECT_STREQ(text, "1,2");  // printf's rounding of an exact half: to even
  EXPECT_DOUBLE_EQ(convertDecimal("1,5"), 1.5);
  selectLocale("C");
  EXPECT_EQ(decimalSeparator(), '.');
  selectLocale("ru-RU");
}

TEST(NumericLocale, FormatsAsPrintfAndNeverOverruns) {
  struct Case {
    double value;
    int decimals;
    const char* text;
  };
  const Case cases[] = {
      {1.234, 3, "1,234"},           {-1.5, 0, "-2"},      {12.5, 2, "12,50"}, {0.1, 1, "0,1"},
      {123456792.0, 0, "123456792"}, {1.0, 6, "1,000000"}, {-0.0, 1, "-0,0"},  {2.5, 0, "2"},
  };
  for (const Case& c : cases) {
    char text[32];
    formatFixed(text, sizeof text, c.value, c.decimals, ',');
    EXPECT_STREQ(text, c.text) << c.value << " " << c.decimals;
  }
  char small[5] = "xxxx";
  EXPECT_EQ(formatFixed(small, sizeof small, 123456.0, 2, ','), 9U);  // full length, like snprintf
  EXPECT_STREQ(small, "1234");
}

TEST(NumericLocale, ConvertsLikeStrtodAndStopsWhereTheNumberEnds) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"1,234", 1.234}, {"1,,2", 1.0}, {"  -12,5x", -12.5},
      {",5", 0.5},      {"12,", 12.0}, {"", 0.0},
      {"abc", 0.0},     {"1.5", 1.0},  {"123456789012345", 123456789012345.0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(convertDecimal(c.text, ','), c.value) << c.text;
}

}  // namespace
}  // namespace scalecheck::platform
