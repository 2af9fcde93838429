#pragma once

#include <cstddef>

#include "link/weight_reading.h"

namespace scalecheck::console {

constexpr std::size_t kReadingLineSize = 128;  // 127 characters and the NUL
constexpr std::size_t kWeightTextSize = 16;    // 15 characters and the NUL

// The short name of the way a reading came: "~22" (the scale streams), "ad"
// (the combined request), "AD" (the two-step request), "??" for none.
const char* wayName(AcquisitionMode mode);

// The weight as the console shows and logs it: no decimals without a point,
// 1 to 4 decimals as the scale showed them, else six; with the locale's
// decimal separator. Never longer than 15 characters: see fitWeightText.
void formatReadingWeight(const WeightReading& reading, char (&text)[kWeightTextSize]);

// The reading line, such as "  AD, Ст[1,234] кг" (Windows-1251): how the
// reading was obtained, its stability, its weight text, its unit.
void formatReadingLine(const WeightReading& reading, const char* weightText,
                       char (&line)[kReadingLineSize]);

}  // namespace scalecheck::console
