#pragma once

#include <cstddef>
#include <cstdint>

namespace scalecheck {

// How a reading was obtained.
enum class AcquisitionMode : std::int32_t {
  kNone = 0,
  kStream = 1,    // the scale sent it on its own
  kCombined = 2,  // ENQ and DC1 sent together
  kTwoStep = 3,   // ENQ, ACK, then DC1
};

enum class StabilityState : std::int32_t {
  kNotStated = 0,
  kStable = 1,
  kUnstable = 2,
};

enum class WeightUnit : std::int32_t {
  kNotStated = 0,
  kMilligram = 1,
  kGram = 2,
  kKilogram = 3,
  kTonne = 4,
};

constexpr std::size_t kWeightTextSize = 16;  // 15 characters and the NUL

// One weight reading. A cleared record has every number 0 and an empty text.
struct WeightReading {
  std::int32_t valid = 0;  // 1 when the record holds a reading
  AcquisitionMode acquisitionMode = AcquisitionMode::kNone;
  StabilityState stability = StabilityState::kNotStated;
  std::uint8_t hasPoint = 0;              // the frame's number had a decimal point
  std::uint8_t decimals = 0;              // digits after the first point
  float weight = 0.0F;                    // with its sign, in `unit`
  double preciseWeight = 0.0;             // the same as the scale sent it, before rounding
  char weightText[kWeightTextSize] = {};  // the weight with the locale's separator
  WeightUnit unit = WeightUnit::kNotStated;
};

}  // namespace scalecheck
