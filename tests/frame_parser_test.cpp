#include "protocol/frame_parser.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>

namespace scalecheck {
namespace {

constexpr char kComma = ',';

bool parse(const std::string& frame, WeightReading& out) {
  return parseFrame(kComma, reinterpret_cast<const std::uint8_t*>(frame.data()),
                    static_cast<std::int32_t>(frame.size()), out);
}

bool parsePrefix(const std::string& frame, std::int32_t length, WeightReading& out) {
  return parseFrame(kComma, reinterpret_cast<const std::uint8_t*>(frame.data()), length, out);
}

struct Accepted {
  const char* name;
  std::string frame;
  StabilityState stability;
  double weight;  // as the scale sent it; the record's float is this rounded
  int hasPoint;
  int decimals;
  const char* weightText;
  WeightUnit unit;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const Accepted& c, std::ostream* os) {
  *os << c.name;
}

class FrameParserAccepts : public ::testing::TestWithParam<Accepted> {};

TEST_P(FrameParserAccepts, ReadsEveryField) {
  const Accepted& c = GetParam();
  WeightReading out;
  out.valid = 7;  // overwritten in full on success
  ASSERT_TRUE(parse(c.frame, out));
  EXPECT_EQ(out.valid, 0);
  EXPECT_EQ(out.acquisitionMode, AcquisitionMode::kNone);
  EXPECT_EQ(out.stability, c.stability);
  EXPECT_DOUBLE_EQ(out.preciseWeight, c.weight);
  EXPECT_EQ(out.weight, static_cast<float>(c.weight));
  EXPECT_EQ(out.hasPoint, c.hasPoint);
  EXPECT_EQ(out.decimals, c.decimals);
  EXPECT_STREQ(out.weightText, c.weightText);
  EXPECT_EQ(out.unit, c.unit);
}

using S = StabilityState;
using U = WeightUnit;

INSTANTIATE_TEST_SUITE_P(
    Frames, FrameParserAccepts,
    ::testing::Values(
        Accepted{"Typical", "ST,GS,+  1.234kg\r\n", S::kStable, 1.234, 1, 3, "1,234", U::kKilogram},
        Accepted{"Unstable", "US,GS,   12.50 g", S::kUnstable, 12.5, 1, 2, "12,50", U::kGram},
        Accepted{"MinusBeforeNumber", "ST,GS,-  1.234kg", S::kStable, -1.234, 1, 3, "-1,234",
                 U::kKilogram},
        Accepted{"SecondPointStopsConversion", "S 1..2kg", S::kStable, 1.0, 1, 1, "1,0",
                 U::kKilogram},
        Accepted{"PointWithoutDecimals", "S 12. kg", S::kStable, 12.0, 1, 0, "12", U::kKilogram},
        Accepted{"MinusInsideJoinsButSignsNothing", "S 1-2 kg", S::kStable, 12.0, 0, 0, "12",
                 U::kKilogram},
        Accepted{"RunsAfterSpaceAreJoined", "S 1 2 kg", S::kStable, 12.0, 0, 0, "12", U::kKilogram},
        Accepted{"Milligrams", "S 1.5 mg", S::kStable, 1.5, 1, 1, "1,5", U::kMilligram},
        Accepted{"MilligramsEndingTheNumber", "S 1.234Mg", S::kStable, 1.234, 1, 3, "1,234",
                 U::kMilligram},
        Accepted{"MOnlyDirectlyBeforeG", "S 1.5 m g", S::kStable, 1.5, 1, 1, "1,5", U::kGram},
        Accepted{"FirstUnitLetterWins", "S 1.5t kg", S::kStable, 1.5, 1, 1, "1,5", U::kTonne},
        // The sign is the last "+" or "-" before the first digit; after the
        // unit comes another field (an ID, a piece count, a tare, a net weight).
        Accepted{"TrailingMinus", "S 1.5 kg -", S::kStable, 1.5, 1, 1, "1,5", U::kKilogram},
        Accepted{"MinusInAFieldBeforeTheSign", "ST,G-,+  1.234kg", S::kStable, 1.234, 1, 3, "1,234",
                 U::kKilogram},
        Accepted{"MinusInAFieldAsTheLastSign", "ST,G-,   1.234kg", S::kStable, -1.234, 1, 3,
                 "-1,234", U::kKilogram},
        Accepted{"DigitsBeforeTheUnitJoin", "ST,GS,+  1 234kg", S::kStable, 1234.0, 0, 0, "1234",
                 U::kKilogram},
        Accepted{"IdAfterTheUnit", "ST,GS,+  1.234kg ID 7", S::kStable, 1.234, 1, 3, "1,234",
                 U::kKilogram},
        Accepted{"PiecesAfterTheUnit", "ST,GS,+  1.234kg  12pcs", S::kStable, 1.234, 1, 3, "1,234",
                 U::kKilogram},
        Accepted{"TareAfterTheUnit", "ST,GS,+  1.234kg T  0.500kg", S::kStable, 1.234, 1, 3,
                 "1,234", U::kKilogram},
        Accepted{"NegativeNetAfterGross", "ST,GS,+  1.234kg,NT,-  0.100kg", S::kStable, 1.234, 1, 3,
                 "1,234", U::kKilogram},
        Accepted{"GrossAfterNegativeNet", "US,NT,-  0.100 g GS +  1.234 g", S::kUnstable, -0.1, 1,
                 3, "-0,100", U::kGram},
        // A frame ends at its CR or LF once the number has ended.
        Accepted{"LineEndBeforeNumber", "S\r\n 1.5 kg", S::kStable, 1.5, 1, 1, "1,5", U::kKilogram},
        Accepted{"NextFrameGivesNoSignNorDigits", "S 1.5 kg\r\n -2 t", S::kStable, 1.5, 1, 1, "1,5",
                 U::kKilogram},
        // The text is the value sent, not its single-precision rounding.
        Accepted{"NineDigits", "ST,GS, 123456789 kg", S::kStable, 123456789.0, 0, 0, "123456789",
                 U::kKilogram},
        Accepted{"EightDigitsWithPoint", "S 1234.5678kg", S::kStable, 1234.5678, 1, 4, "1234,5678",
                 U::kKilogram},
        Accepted{"FiveDecimals", "S 99.99999kg", S::kStable, 99.99999, 1, 5, "99,99999",
                 U::kKilogram},
        Accepted{"NulIsAnOrdinaryByte", std::string("S 5\0kg", 6), S::kStable, 5.0, 0, 0, "5",
                 U::kKilogram},
        Accepted{"LowerCaseLetters", "us  7 t", S::kUnstable, 7.0, 0, 0, "7", U::kTonne},
        // A comma between digits is the scale's decimal point.
        Accepted{"DecimalComma", "ST,GS,+  1,234kg", S::kStable, 1.234, 1, 3, "1,234",
                 U::kKilogram},
        Accepted{"DecimalCommaNegative", "ST,GS,-  0,50 kg", S::kStable, -0.5, 1, 2, "-0,50",
                 U::kKilogram},
        Accepted{"CommaAfterPointEndsNumber", "S 1.2,5 kg", S::kStable, 1.2, 1, 1, "1,2",
                 U::kKilogram},
        Accepted{"SecondCommaEndsNumber", "S 1,2,3 kg", S::kStable, 1.2, 1, 1, "1,2", U::kKilogram},
        Accepted{"CommaBeforeSpaceEndsNumber", "S 12, kg", S::kStable, 12.0, 0, 0, "12",
                 U::kKilogram},
        // Weights beyond 32 bits have their full integer as text.
        Accepted{"BeyondInt32", "S 12345678901 kg", S::kStable, 12345678901.0, 0, 0, "12345678901",
                 U::kKilogram},
        Accepted{"BeyondInt32Negative", "S -3000000000 kg", S::kStable, -3.0e9, 0, 0, "-3000000000",
                 U::kKilogram},
        Accepted{"Int32Edge", "S -2147483648 kg", S::kStable, -2147483648.0, 0, 0, "-2147483648",
                 U::kKilogram},
        // Too many decimals for the field: decimals are cut, the magnitude kept.
        Accepted{"FifteenDigitsNegativeInScientificNotation", "S -1 23456789012345 k", S::kStable,
                 -123456789012345.0, 0, 0, "-1,23456789E+14", U::kKilogram},
        Accepted{"LongTextLosesDecimals", "S -1 2345678.123456 k", S::kStable, -12345678.123456, 1,
                 6, "-12345678,12345", U::kKilogram}),
    [](const ::testing::TestParamInfo<Accepted>& param) { return std::string(param.param.name); });

TEST(FrameParser, RefusesFramesWithoutACompleteReadingAndSaysWhy) {
  using R = FrameRejection;
  const std::pair<std::string, FrameRejection> refused[] = {
      {"ST,GS,  +1.234kg", R::kNoNumber},             // a digit after "+" starts no number
      {"12.5kg", R::kNoNumber},                       // digits from position 0 have no space before
      {"S 123", R::kNumberNotEnded},                  // the number is never closed
      {"S  7 ", R::kNoUnit},                          // no unit letter after the number
      {"xxxxxS 1kg", R::kNoStability},                // the stability letter stands too late
      {"ST,GS,1,5kg", R::kNoNumber},                  // no space or minus before the digits
      {"S 1234567890123456 kg", R::kNumberNotEnded},  // 16 characters reach the stop unclosed
      {"  1.5 kg", R::kNoStability},                  // no stability letter at all
      {"S kg 1.5", R::kNumberNotEnded},               // the unit letter stands before the number
      {"ST,GS,+  1.234  \r\nST,", R::kNoUnit},        // the "T" is the next frame's
      {"S 1.5\r\nkg", R::kNoUnit},                    // the CR that ends the frame ends the number
      {"", R::kTooShort},                             // nothing
  };
  for (const auto& [frame, reason] : refused) {
    WeightReading out;
    out.valid = 7;
    out.weight = 3.0F;
    FrameRejection why = FrameRejection::kNone;
    EXPECT_FALSE(parseFrame(kComma, reinterpret_cast<const std::uint8_t*>(frame.data()),
                            static_cast<std::int32_t>(frame.size()), out, &why))
        << frame;
    EXPECT_EQ(why, reason) << frame;
    EXPECT_EQ(out.valid, 7) << "left untouched: " << frame;
    EXPECT_FLOAT_EQ(out.weight, 3.0F);
  }
}

TEST(FrameParser, ScansOnlyTheGivenLength) {
  WeightReading out;
  EXPECT_FALSE(parsePrefix("S 1.5 kg", 0, out));
  EXPECT_FALSE(parsePrefix("S 1.5 kg", -4, out));
  EXPECT_FALSE(parsePrefix("S 1.5 kg", 5, out));  // "S 1.5": never closed within the length
  ASSERT_TRUE(parsePrefix("S 1.5 kg", 7, out));
  EXPECT_EQ(out.unit, WeightUnit::kKilogram);
}

TEST(FrameParser, WeightTextCarriesTheLinkSeparator) {
  WeightReading out;
  const std::string frame = "S 1.5 kg";
  ASSERT_TRUE(parseFrame('.', reinterpret_cast<const std::uint8_t*>(frame.data()),
                         static_cast<std::int32_t>(frame.size()), out));
  EXPECT_STREQ(out.weightText, "1.5");
  EXPECT_FLOAT_EQ(out.weight, 1.5F);
}

}  // namespace
}  // namespace scalecheck
