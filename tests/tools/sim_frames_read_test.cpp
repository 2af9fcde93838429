// The simulator's default frames, read by the checker's own frame parser the
// way the checker gets them: as a request reply and cut out of a stream.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "frame_format.h"
#include "options.h"
#include "protocol/frame_parser.h"
#include "sim_options.h"

namespace scalecheck::sim {
namespace {

// A reply as the reader keeps it: at most 21 bytes in a zeroed 22-byte buffer.
bool readReply(const std::string& frame, WeightReading& reading) {
  std::uint8_t buffer[22] = {};
  std::copy_n(frame.data(), frame.size() < 21 ? frame.size() : 21, buffer);
  return parseFrame('.', buffer, 22, reading);
}

// A stream capture: the 21 bytes after the first CR LF of the stream.
bool readStream(const std::string& frame, WeightReading& reading) {
  const std::string stream = frame.substr(5) + frame + frame + frame;
  const std::size_t lf = stream.find("\r\n") + 1;
  const std::string cut = stream.substr(lf + 1, 21);
  return parseFrame('.', reinterpret_cast<const std::uint8_t*>(cut.data()), 21, reading);
}

scalecheck::WeightUnit checkerUnit(Unit unit) {
  switch (unit) {
    case Unit::kKilogram:
      return scalecheck::WeightUnit::kKilogram;
    case Unit::kTonne:
      return scalecheck::WeightUnit::kTonne;
    case Unit::kGram:
      return scalecheck::WeightUnit::kGram;
    case Unit::kMilligram:
      return scalecheck::WeightUnit::kMilligram;
    case Unit::kNone:
      break;
  }
  return scalecheck::WeightUnit::kNotStated;
}

TEST(SimFramesRead, DefaultFramesReadAsTheWeightGiven) {
  const FrameFields fieldSets[] = {
      FrameFields{},
      FrameFields{-1.234, 3, Unit::kKilogram, true, SignMode::kAuto},
      FrameFields{12.5, 2, Unit::kGram, false, SignMode::kAuto},
      FrameFields{7, 0, Unit::kTonne, true, SignMode::kAuto},
      FrameFields{0.5, 1, Unit::kMilligram, false, SignMode::kAuto},
      FrameFields{123456.789, 3, Unit::kKilogram, true, SignMode::kAuto},
      FrameFields{-999.123456, 6, Unit::kGram, true, SignMode::kAuto},
      FrameFields{999999999, 0, Unit::kKilogram, true, SignMode::kAuto},
  };
  for (const FrameFields& fields : fieldSets) {
    std::string frame;
    std::string error;
    ASSERT_TRUE(renderFrame(kDefaultTemplate, fields, frame, error));
    ASSERT_LE(frame.size(), kLongestReadableFrame) << frame;
    for (auto read : {readReply, readStream}) {
      WeightReading reading;
      ASSERT_TRUE(read(frame, reading)) << frame;
      EXPECT_EQ(reading.weight, static_cast<float>(fields.weight)) << frame;
      EXPECT_EQ(reading.decimals, fields.decimals) << frame;
      EXPECT_EQ(reading.unit, checkerUnit(fields.unit)) << frame;
      EXPECT_EQ(reading.stability,
                fields.stable ? StabilityState::kStable : StabilityState::kUnstable);
    }
  }
}

}  // namespace
}  // namespace scalecheck::sim
