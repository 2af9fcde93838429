#include "console/reading_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console/measurement_log.h"
#include "platform/numeric_locale.h"
#include "program_texts.h"

namespace scalecheck::console {
namespace {

using testing::utf8;

WeightReading reading(AcquisitionMode mode, StabilityState stability, double weight,
                      std::uint8_t hasPoint, std::uint8_t decimals, WeightUnit unit) {
  WeightReading r;
  r.valid = 1;
  r.acquisitionMode = mode;
  r.stability = stability;
  r.weight = static_cast<float>(weight);
  r.preciseWeight = weight;
  r.hasPoint = hasPoint;
  r.decimals = decimals;
  r.unit = unit;
  return r;
}

TEST(ReadingLine, ShowsModeStabilityWeightAndUnit) {
  platform::selectLocale("ru-RU");
  using A = AcquisitionMode;
  using S = StabilityState;
  using U = WeightUnit;
  struct Case {
    WeightReading reading;
    const char* weightText;
    const char* line;
  };
  const Case cases[] = {
      {reading(A::kTwoStep, S::kStable, 1.234, 1, 3, U::kKilogram), "1,234", "  AD, Ст[1,234] кг"},
      {reading(A::kStream, S::kUnstable, 12.5, 1, 2, U::kGram), "12,50", "  ~22, нСт[12,50] г"},
      {reading(A::kCombined, S::kStable, -7.0, 0, 0, U::kTonne), "-7", "  ad, Ст[-7] т"},
      {reading(A::kNone, S::kNotStated, 3.0, 0, 0, U::kNotStated), "3", "  ??,3] ?"},
      {reading(A::kTwoStep, S::kStable, 0.5, 0, 0, U::kMilligram), "0", "  AD, Ст[0] мг"},
      {reading(A::kTwoStep, S::kStable, 12.0, 1, 0, U::kKilogram), "12,000000",
       "  AD, Ст[12,000000] кг"},
      {reading(A::kTwoStep, S::kStable, 1.5, 1, 5, U::kKilogram), "1,500000",
       "  AD, Ст[1,500000] кг"},
      {reading(A::kTwoStep, S::kStable, 0.1234, 1, 4, U::kKilogram), "0,1234",
       "  AD, Ст[0,1234] кг"},
      // The value sent, not its single-precision rounding.
      {reading(A::kTwoStep, S::kStable, 1234.5678, 1, 4, U::kKilogram), "1234,5678",
       "  AD, Ст[1234,5678] кг"},
      {reading(A::kTwoStep, S::kStable, 99.99999, 1, 5, U::kKilogram), "99,999990",
       "  AD, Ст[99,999990] кг"},
      {reading(A::kTwoStep, S::kStable, 2.25, 1, 1, U::kKilogram), "2,2", "  AD, Ст[2,2] кг"},
      // Too wide for 15 characters: decimals are cut, never the magnitude.
      {reading(A::kTwoStep, S::kStable, -12345678.0, 1, 6, U::kKilogram), "-12345678,00000",
       "  AD, Ст[-12345678,00000] кг"},
      {reading(A::kTwoStep, S::kStable, -1.0e30, 0, 0, U::kKilogram), "-1,00000000E+30",
       "  AD, Ст[-1,00000000E+30] кг"},
  };
  for (const Case& c : cases) {
    char weight[kWeightTextSize];
    formatReadingWeight(c.reading, weight);
    EXPECT_STREQ(weight, c.weightText);
    char line[kReadingLineSize];
    formatReadingLine(c.reading, weight, line);
    EXPECT_EQ(utf8(line), c.line);
  }
}

TEST(MeasurementLog, RecordsAreStampedAndSemicolonSeparated) {
  char record[kLogRecordSize];
  formatLogRecord({2026, 12, 8, 14, 3, 5}, "  AD, \xD1\xF2[1,234] \xEA\xE3", "1,234", record);
  EXPECT_EQ(utf8(record), "\"08.12.2026 14:03:05\";\"  AD, Ст[1,234] кг\";1,234\n");
  formatLogRecord({2027, 1, 31, 0, 0, 9}, "x", "2", record);
  EXPECT_STREQ(record, "\"31.01.2027 00:00:09\";\"x\";2\n");
  formatLogRecord({-5, 300, -1, 7, 8, 99999}, "x", "2", record);  // never wider than its fields
  EXPECT_EQ(std::strlen(record), std::strlen("\"00.99.0000 07:08:99\";\"x\";2\n"));
}

}  // namespace
}  // namespace scalecheck::console
