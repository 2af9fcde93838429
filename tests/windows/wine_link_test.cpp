// The scale link under Wine against scale-sim, which wine_link_tests.py runs
// on the Linux side: over TCP on 127.0.0.1 for every kind of scale, and a
// streaming scale through a COM port that Wine maps to the simulator's
// pseudo-terminal. The script passes where each simulator listens through
// the environment and runs this program in a scratch folder of its own.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include "link/scale_link.h"
#include "link_settings_for_tests.h"
#include "protocol/acquisition.h"

namespace scalecheck {
namespace {

// The frame scale-sim sends by default. A stream frame is the 21 bytes after
// the first CR LF, so one whole frame and the start of the next; a reply to a
// request is dumped as it came.
const std::string kFrame = "ST,GS,+  1.234kg\r\n";
const std::string kStreamCut = (kFrame + kFrame).substr(0, 21);

// The number the driving script put in `name`, or 0 when it is missing.
int numberFromEnvironment(const char* name) {
  const char* text = std::getenv(name);
  return text != nullptr ? std::atoi(text) : 0;
}

// Bytes as a Windows text-mode file stores them: each LF as CR LF.
std::string storedAsText(const std::string& bytes) {
  std::string stored;
  for (const char byte : bytes) {
    if (byte == '\n') stored += '\r';
    stored += byte;
  }
  return stored;
}

std::string readFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Two polls in a row: the second finds what the scale sent meanwhile (a
// stream has filled the queue by then) and must still give the weight.
void expectTwoDefaultReadings(ScaleLink& link, AcquisitionMode mode) {
  for (int poll = 0; poll < 2; ++poll) {
    WeightReading reading;
    ASSERT_TRUE(pollReading(link, reading)) << "poll " << poll;
    EXPECT_EQ(reading.valid, 1);
    EXPECT_EQ(reading.acquisitionMode, mode);
    EXPECT_EQ(reading.stability, StabilityState::kStable);
    EXPECT_FLOAT_EQ(reading.weight, 1.234F);
    EXPECT_EQ(reading.decimals, 3);
    EXPECT_STREQ(reading.weightText, "1,234");
    EXPECT_EQ(reading.unit, WeightUnit::kKilogram);
  }
  EXPECT_EQ(link.lastError(), LinkError::kNone);
}

LinkSettings tcpSettings(int port) {
  return scalecheck::testing::tcpLinkSettings("127.0.0.1", port);
}

// Every test starts with no dump, so that it sees only its own frames.
class WineLink : public ::testing::Test {
 protected:
  void SetUp() override { std::remove(kDeviceDumpPath); }
};

struct KindRow {
  const char* name;
  const char* portVariable;  // set by wine_link_tests.py
  AcquisitionMode mode;
  const std::string* dumped;  // what one reading leaves in "#DeviceIO"
};

void PrintTo(const KindRow& row, std::ostream* out) {
  *out << row.name;
}

class WineTcpKinds : public WineLink, public ::testing::WithParamInterface<KindRow> {};

TEST_P(WineTcpKinds, ReadsTheWeightOverTcp) {
  const KindRow& row = GetParam();
  const int port = numberFromEnvironment(row.portVariable);
  ASSERT_GT(port, 0) << row.portVariable << " is not set: run this through wine_link_tests.py";
  ScaleLink link(tcpSettings(port));
  ASSERT_TRUE(link.open());
  expectTwoDefaultReadings(link, row.mode);
  link.close();
  EXPECT_FALSE(link.transport().isOpen());
  EXPECT_EQ(readFile(kDeviceDumpPath), storedAsText(*row.dumped + *row.dumped));
}

INSTANTIATE_TEST_SUITE_P(
    Loopback, WineTcpKinds,
    ::testing::Values(
        KindRow{"Stream", "SCALECHECK_SIM_TCP_STREAM", AcquisitionMode::kStream, &kStreamCut},
        KindRow{"TwoStep", "SCALECHECK_SIM_TCP_TWO_STEP", AcquisitionMode::kTwoStep, &kFrame},
        KindRow{"Combined", "SCALECHECK_SIM_TCP_COMBINED", AcquisitionMode::kCombined, &kFrame}),
    [](const ::testing::TestParamInfo<KindRow>& row) { return std::string(row.param.name); });

// A second open to the same address keeps the connection it holds: the same
// socket, still good for polling. This simulator serves no other test, and
// wine_link_tests.py checks that it saw exactly one client connect.
TEST_F(WineLink, HeldTcpConnectionIsReused) {
  const int port = numberFromEnvironment("SCALECHECK_SIM_TCP_HELD");
  ASSERT_GT(port, 0) << "SCALECHECK_SIM_TCP_HELD is not set: run this through wine_link_tests.py";
  ScaleLink link(tcpSettings(port));
  ASSERT_TRUE(link.open());
  ASSERT_TRUE(link.transport().isOpen());
  ASSERT_TRUE(link.open());  // the simulator counts one client: see wine_link_tests.py
  expectTwoDefaultReadings(link, AcquisitionMode::kTwoStep);
  link.close();
}

// A streaming scale on a COM port that Wine maps to the simulator's
// pseudo-terminal: configuring, purging, waiting for and reading bytes all go
// through Wine's serial driver. Only reading can be proven this way: Wine
// never reports the transmitter empty on a pseudo-terminal, so the write of
// a two-step or combined request is never confirmed there. Those kinds are
// proven over TCP above and on a fake port in the unit tests.
TEST_F(WineLink, ReadsAStreamingScaleThroughAMappedPort) {
  const int comNumber = numberFromEnvironment("SCALECHECK_SIM_COM_STREAM");
  ASSERT_GT(comNumber, 0) << "SCALECHECK_SIM_COM_STREAM is not set: run this through "
                             "wine_link_tests.py";
  ScaleLink link(scalecheck::testing::serialLinkSettings(comNumber));
  ASSERT_TRUE(link.open());
  expectTwoDefaultReadings(link, AcquisitionMode::kStream);
  link.close();
  EXPECT_FALSE(link.transport().isOpen());
  EXPECT_EQ(readFile(kDeviceDumpPath), storedAsText(kStreamCut + kStreamCut));
}

}  // namespace
}  // namespace scalecheck
