// The checker's link against the simulated scale through the UART model on
// the transport fakes, over every rate, framing and way a scale may use:
// right settings read, a wrong rate or framing does not.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "fakes/fake_services.h"
#include "link/scale_link.h"
#include "protocol/acquisition.h"
#include "tools/line_model_scale.h"

namespace scalecheck::testing {
namespace {

struct Framing {
  const char* name;
  std::uint8_t dataBits;
  std::uint8_t parity;    // DCB code
  std::uint8_t stopBits;  // DCB code
};

constexpr Framing k8N1{"8N1", 8, parity::kNone, stop_bits::kOne};
constexpr Framing k7E1{"7E1", 7, parity::kEven, stop_bits::kOne};
constexpr Framing k7O1{"7O1", 7, parity::kOdd, stop_bits::kOne};
constexpr Framing k8E1{"8E1", 8, parity::kEven, stop_bits::kOne};
constexpr Framing k8O1{"8O1", 8, parity::kOdd, stop_bits::kOne};
constexpr Framing k8N2{"8N2", 8, parity::kNone, stop_bits::kTwo};
constexpr Framing k7N2{"7N2", 7, parity::kNone, stop_bits::kTwo};
constexpr Framing kFramings[] = {k8N1, k7E1, k7O1, k8E1, k8O1, k8N2, k7N2};

constexpr std::int32_t kRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

struct Way {
  sim::ScaleKind kind;
  AcquisitionMode mode;
};
constexpr Way kWays[] = {{sim::ScaleKind::kStream, AcquisitionMode::kStream},
                         {sim::ScaleKind::kTwoStep, AcquisitionMode::kTwoStep},
                         {sim::ScaleKind::kCombined, AcquisitionMode::kCombined}};

int bitsOf(const Framing& framing) {
  return 1 + framing.dataBits + (framing.parity != parity::kNone ? 1 : 0) +
         (framing.stopBits == stop_bits::kTwo ? 2 : 1);
}

// A framing under which a scale at `scale` gives no reading. A receiver
// with longer characters than the sender's loses step in a frame sent back
// to back (its stop sample falls in the next start bit); shorter ones
// realign at each start bit and, the frames being ASCII, lose nothing: so
// an 11-bit scale is out of reach only through its requests, which a 7N2
// checker sends with bit 7 set (its stop bit). No framing here stops an
// 11-bit stream from being read.
std::optional<Framing> incompatibleWith(const Framing& scale, sim::ScaleKind kind) {
  if (bitsOf(scale) == 10) return k8E1;
  if (kind != sim::ScaleKind::kStream) return k7N2;
  return std::nullopt;
}

// One poll by a link at `rate` and `framing` of a scale of `way` at its own
// `scaleRate` and `scaleFraming`.
bool polls(const Way& way, std::int32_t scaleRate, const Framing& scaleFraming, std::int32_t rate,
           const Framing& framing, WeightReading& reading) {
  FakeServices fake;
  sim::UartSettings line;
  line.baud = static_cast<std::uint32_t>(scaleRate);
  line.dataBits = scaleFraming.dataBits;
  line.parity = static_cast<sim::Parity>(scaleFraming.parity);
  line.stopBits = scaleFraming.stopBits == stop_bits::kTwo ? 2 : 1;
  LineModelScale scale(fake.serial, way.kind, line);
  LinkSettings settings = serialLinkSettings();
  settings.baudRate = rate;
  settings.dataBits = framing.dataBits;
  settings.parity = framing.parity;
  settings.stopBits = framing.stopBits;
  ScaleLink link(settings, fake.services);
  return link.open() && pollReading(link, reading);
}

class LineGrid : public ::testing::TestWithParam<std::size_t> {};

TEST_P(LineGrid, RightSettingsReadAndWrongOnesDoNot) {
  const std::size_t index = GetParam();
  const std::int32_t rate = kRates[index];
  // The next rate up; the highest is read at the one below.
  const std::int32_t otherRate =
      index + 1 < std::size(kRates) ? kRates[index + 1] : kRates[index - 1];
  for (const Framing& framing : kFramings) {
    for (const Way& way : kWays) {
      SCOPED_TRACE(std::to_string(rate) + " " + framing.name + " way " +
                   std::to_string(static_cast<int>(way.mode)));
      WeightReading reading;
      ASSERT_TRUE(polls(way, rate, framing, rate, framing, reading));
      EXPECT_EQ(reading.acquisitionMode, way.mode);
      EXPECT_STREQ(reading.weightText, "1,234");
      EXPECT_FALSE(polls(way, rate, framing, otherRate, framing, reading)) << "at " << otherRate;
      if (const std::optional<Framing> wrong = incompatibleWith(framing, way.kind)) {
        EXPECT_FALSE(polls(way, rate, framing, rate, *wrong, reading)) << "as " << wrong->name;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, LineGrid, ::testing::Range<std::size_t>(0, std::size(kRates)),
                         [](const ::testing::TestParamInfo<std::size_t>& row) {
                           return std::to_string(kRates[row.param]);
                         });

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
