#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "link/serial_transport.h"
#include "platform/services.h"

namespace scalecheck {
namespace {

// What the other end sends once the port is ready: XON and XOFF, CR LF, a NUL
// and bytes with the high bit set must all arrive as sent on a binary line
// without flow control.
const std::string kPayload("ST\x11\x13\r\n\x00\xC0\xFF", 9);
constexpr std::uint32_t kArrivalLimitMs = 10000;  // a generous bound under load

// The read path on a real port under Wine: the transport opens and configures
// a COM port that wine_pty_serial.py maps to a Linux pseudo-terminal, then
// sends a ready byte; the script answers with the payload, which the
// transport's reply collection must hand back whole. (Under Wine a pseudo-
// terminal never reports the transmitter empty, so writeBytes cannot be
// proven this way; the ready byte goes through the port's own write.)
TEST(WinePtySerial, TransportReadsWhatTheLinuxSideSends) {
  const char* comNumber = std::getenv("SCALECHECK_TEST_COM");
  if (comNumber == nullptr) GTEST_SKIP() << "needs wine_pty_serial.py";
  LinkSettings settings;
  settings.mode = LinkMode::kRs232;
  settings.comNumber = std::atoi(comNumber);
  platform::Clock& clock = platform::systemClock();
  SerialTransport transport(platform::systemSerialPorts(), clock);
  LinkError error = LinkError::kNone;
  ASSERT_TRUE(transport.open(settings, error));
  platform::SerialPort& port = *transport.port();

  const std::uint8_t ready = 'R';
  std::uint32_t written = 0;
  ASSERT_TRUE(port.write(&ready, 1, written, kArrivalLimitMs));
  ASSERT_EQ(written, 1U);

  // Wait until the whole payload is queued, so that the reply's own time
  // limits do not depend on how fast the script answers.
  platform::CommStatus status;
  const std::uint32_t start = clock.tickCount();
  do {
    std::uint32_t errors = 0;
    ASSERT_TRUE(port.clearError(errors, status));
    clock.sleep(1);
  } while (status.inQueue < kPayload.size() &&
           platform::ticksSince(start, clock.tickCount()) < kArrivalLimitMs);
  ASSERT_EQ(status.inQueue, kPayload.size());

  std::uint8_t reply[kReplyMaxBytes] = {};
  std::int32_t count = 0;
  ASSERT_TRUE(transport.readReply(reply, count));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply), static_cast<std::size_t>(count)),
            kPayload);
  transport.close();
  EXPECT_EQ(transport.port(), nullptr);
}

}  // namespace
}  // namespace scalecheck
