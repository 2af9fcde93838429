// The checker's link against the simulated scale through the UART model on
// the transport fakes, over every rate, framing and way a scale may use:
// right settings read, a wrong rate or framing does not, and a scan finds
// the settings that read.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "fakes/fake_services.h"
#include "link/scale_link.h"
#include "protocol/acquisition.h"
#include "tools/line_model_scale.h"
#include "tools/line_model_scan.h"

namespace scalecheck::testing {
namespace {

constexpr std::int32_t kRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

struct Way {
  sim::ScaleKind kind;
  AcquisitionMode mode;
};
constexpr Way kWays[] = {{sim::ScaleKind::kStream, AcquisitionMode::kStream},
                         {sim::ScaleKind::kTwoStep, AcquisitionMode::kTwoStep},
                         {sim::ScaleKind::kCombined, AcquisitionMode::kCombined}};

// A framing under which a scale at `scale` gives no reading. A receiver
// with longer characters than the sender's loses step in a frame sent back
// to back (its stop sample falls in the next start bit); shorter ones
// realign at each start bit and, the frames being ASCII, lose nothing: so
// an 11-bit scale is out of reach only through its requests, which a 7N2
// checker sends with bit 7 set (its stop bit). No framing here stops an
// 11-bit stream from being read.
std::optional<Framing> incompatibleWith(const Framing& scale, sim::ScaleKind kind) {
  if (scale.bitsPerCharacter() == 10) return k8E1;
  if (kind != sim::ScaleKind::kStream) return k7N2;
  return std::nullopt;
}

class LineGrid : public ::testing::TestWithParam<std::size_t> {};

TEST_P(LineGrid, RightSettingsReadAndWrongOnesDoNot) {
  const std::size_t index = GetParam();
  const std::int32_t rate = kRates[index];
  // The next rate up; the highest is read at the one below.
  const std::int32_t otherRate =
      index + 1 < std::size(kRates) ? kRates[index + 1] : kRates[index - 1];
  for (const Framing& framing : kScanFramings) {
    for (const Way& way : kWays) {
      SCOPED_TRACE(settingName({rate, framing}) + " way " +
                   std::to_string(static_cast<int>(way.mode)));
      const sim::SimOptions scale = scaleOptions(way.kind, rate, framing);
      WeightReading reading;
      ASSERT_TRUE(pollsOnLineModel(scale, LineSetting{rate, framing}, reading));
      EXPECT_EQ(reading.acquisitionMode, way.mode);
      EXPECT_STREQ(reading.weightText, "1,234");
      EXPECT_FALSE(pollsOnLineModel(scale, LineSetting{otherRate, framing}, reading))
          << "at " << otherRate;
      if (const std::optional<Framing> wrong = incompatibleWith(framing, way.kind)) {
        EXPECT_FALSE(pollsOnLineModel(scale, LineSetting{rate, *wrong}, reading))
            << "as " << settingName({rate, *wrong});
      }
    }
  }
}

// A scan from 9600 8N1 names the scale's settings (or, for 8N2, 8N1, which
// reads it alike both ways and lists 8N2), and a run at them reads it.
TEST_P(LineGrid, AScanFindsTheSettingsThatRead) {
  const std::int32_t rate = kRates[GetParam()];
  for (const Framing& framing : kScanFramings) {
    for (const Way& way : kWays) {
      SCOPED_TRACE(settingName({rate, framing}) + " way " +
                   std::to_string(static_cast<int>(way.mode)));
      const sim::SimOptions scale = scaleOptions(way.kind, rate, framing);
      const LineModelScan scan = scanOnLineModel(scale);
      ASSERT_TRUE(namesTheScale(scan.result, LineSetting{rate, framing}))
          << (scan.result.found ? settingName(scan.result.verdict.line) : "nothing");
      EXPECT_EQ(scan.result.verdict.reading.acquisitionMode, way.mode);
      WeightReading reading;
      ASSERT_TRUE(pollsOnLineModel(scale, scan.result.verdict.line, reading));
      EXPECT_EQ(reading.acquisitionMode, way.mode);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, LineGrid, ::testing::Range<std::size_t>(0, std::size(kRates)),
                         [](const ::testing::TestParamInfo<std::size_t>& row) {
                           return std::to_string(kRates[row.param]);
                         });

// Text of another protocol, streamed or answered, and bytes of noise read
// at no setting; the scan says what it heard and names nothing.
TEST(LineModelScan, NamesNothingWithoutAScaleOfOurs) {
  sim::SimOptions other = scaleOptions(sim::ScaleKind::kStream, 4800, k7E1);
  other.frameTemplate = "%+%W %u\\r\\n";  // "+  1.234 kg": no stability letter
  sim::SimOptions otherAsked = other;
  otherAsked.kind = sim::ScaleKind::kTwoStep;
  std::vector<std::string> noise;
  std::uint32_t state = 12345;
  for (int frame = 0; frame < 32; ++frame) {
    noise.emplace_back();
    for (int i = 0; i < 20; ++i) {
      state = state * 1103515245U + 12345U;
      noise.back().push_back(static_cast<char>(state >> 16U));
    }
  }
  const struct {
    const char* what;
    std::optional<sim::SimOptions> scale;
    std::vector<std::string> frames;
    bool bytesEverywhere;
  } cases[] = {
      {"nothing", std::nullopt, {}, false},
      {"another protocol, streamed", other, {}, true},
      {"another protocol, asked", otherAsked, {}, false},
      {"noise", scaleOptions(sim::ScaleKind::kStream, 19200, k8N1), noise, true},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    const LineModelScan scan = scanOnLineModel(row.scale, row.frames);
    EXPECT_FALSE(scan.result.found);
    EXPECT_EQ(scan.result.probes, scan.probes.size());
    EXPECT_EQ(scan.result.probesHeard == scan.result.probes, row.bytesEverywhere);
    EXPECT_LT(scan.elapsedMs, 60000U);
  }
}

// What the receiver noticed reaches the code under test in the status
// query's error word, which the query resets.
TEST(LineModelScale, ReportsLineErrorsInTheStatusQuery) {
  FakeServices fake;
  sim::UartSettings line;
  line.dataBits = 7;
  line.parity = sim::Parity::kEven;
  LineModelScale scale(fake.serial, sim::ScaleKind::kStream, line);
  fake.serial.state.baudRate = 9600;
  fake.serial.state.byteSize = 7;
  fake.serial.state.parity = parity::kOdd;
  FakeSerialPort port(fake.serial);
  fake.clock.advanceBy(50);
  std::uint32_t errors = 0;
  platform::CommStatus status;
  ASSERT_TRUE(port.clearError(errors, status));
  EXPECT_EQ(errors, platform::kCommErrorParity);
  EXPECT_GT(status.inQueue, 40U);
  ASSERT_TRUE(port.clearError(errors, status));
  EXPECT_EQ(errors, 0U);
}

}  // namespace
}  // namespace scalecheck::testing
