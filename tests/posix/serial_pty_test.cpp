#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "link/scale_link.h"
#include "platform/serial_posix_termios.h"
#include "platform/services.h"
#include "posix/pty_pair.h"

namespace scalecheck {
namespace {

using platform::CommState;
using platform::CommStatus;
using platform::CommTimeouts;
using platform::SerialPort;
namespace dcb = platform::dcb;
using posix_test::PtyPair;

// A folder of COM mappings for the duration of a test: comN -> target.
class PortDir {
 public:
  PortDir() {
    char pattern[] = "/tmp/scalecheck-ports-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
    setenv("SCALECHECK_PORT_DIR", path_.c_str(), 1);
  }
  ~PortDir() {
    for (const std::string& link : links_) unlink(link.c_str());
    rmdir(path_.c_str());
    unsetenv("SCALECHECK_PORT_DIR");
  }
  PortDir(const PortDir&) = delete;
  PortDir& operator=(const PortDir&) = delete;

  // Points comN at `target`, in place of whatever it pointed at.
  bool map(int comNumber, const std::string& target) {
    const std::string link = path_ + "/com" + std::to_string(comNumber);
    if (unlink(link.c_str()) != 0) links_.push_back(link);
    return symlink(target.c_str(), link.c_str()) == 0;
  }

 private:
  std::string path_;
  std::vector<std::string> links_;
};

CommState lineSettings(std::uint32_t baud, std::uint8_t bits, std::uint8_t parity,
                       std::uint8_t stopBits, std::uint32_t flags = dcb::kBinary) {
  CommState state{};
  state.length = sizeof(CommState);
  state.baudRate = baud;
  state.byteSize = bits;
  state.parity = parity;
  state.stopBits = stopBits;
  state.flags = flags;
  state.xonChar = 0x11;
  state.xoffChar = 0x13;
  return state;
}

// Settings a terminal may carry before the port is configured: cooked,
// echoing, and with framing bits the new settings must clear.
termios cookedSettings() {
  termios settings{};
  settings.c_iflag = ICRNL | IXON | IXANY | ISTRIP;
  settings.c_oflag = OPOST | ONLCR;
  settings.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
  settings.c_cflag = CS5 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  return settings;
}

struct FramingCase {
  const char* name;
  CommState state;
  tcflag_t cflagSet;  // framing bits that must be on
  tcflag_t iflagSet;  // input bits that must be on
  speed_t speed;
};

constexpr tcflag_t kFraming = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
constexpr tcflag_t kInputChecks = INPCK | IXON | IXOFF;

TEST(SerialTermios, AppliesTheLineSettingsAndRawMode) {
  const FramingCase cases[] = {
      {"8N1", lineSettings(9600, 8, 0, 0), CS8, 0, B9600},
      {"7E1", lineSettings(9600, 7, 2, 0), CS7 | PARENB, 0, B9600},
      {"8O2 at 19200", lineSettings(19200, 8, 1, 2), CS8 | PARENB | PARODD | CSTOPB, 0, B19200},
      {"7 mark", lineSettings(1200, 7, 3, 0), CS7 | PARENB | PARODD | CMSPAR, 0, B1200},
      {"6 space", lineSettings(2400, 6, 4, 0), CS6 | PARENB | CMSPAR, 0, B2400},
      {"5 bits, 1.5 stop", lineSettings(300, 5, 0, 1), CS5 | CSTOPB, 0, B300},
      {"parity checked", lineSettings(9600, 7, 2, 0, dcb::kBinary | dcb::kParityCheck),
       CS7 | PARENB, INPCK, B9600},
      {"CTS flow", lineSettings(9600, 8, 0, 0, dcb::kOutxCtsFlow), CS8 | CRTSCTS, 0, B9600},
      {"RTS handshake", lineSettings(9600, 8, 0, 0, dcb::kRtsControlHandshake), CS8 | CRTSCTS, 0,
       B9600},
      {"XON/XOFF", lineSettings(115200, 8, 0, 0, dcb::kOutX | dcb::kInX), CS8, IXON | IXOFF,
       B115200},
  };
  for (const FramingCase& row : cases) {
    SCOPED_TRACE(row.name);
    termios settings = cookedSettings();
    ASSERT_TRUE(platform::commStateToTermios(row.state, settings));
    EXPECT_EQ(settings.c_cflag & kFraming, row.cflagSet);
    EXPECT_EQ(settings.c_iflag & kInputChecks, row.iflagSet);
    EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
    EXPECT_EQ(settings.c_iflag & (ICRNL | IXANY | ISTRIP), 0U);
    EXPECT_EQ(settings.c_oflag & OPOST, 0U);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0U);
    EXPECT_EQ(settings.c_cc[VMIN], 1);
    EXPECT_EQ(settings.c_cc[VTIME], 0);
    EXPECT_EQ(cfgetospeed(&settings), row.speed);
    EXPECT_EQ(cfgetispeed(&settings), row.speed);

    // Reading the settings back gives the same line settings.
    CommState back{};
    platform::termiosToCommState(settings, back);
    EXPECT_EQ(back.baudRate, row.state.baudRate);
    EXPECT_EQ(back.byteSize, row.state.byteSize);
    EXPECT_EQ(back.parity, row.state.parity);
    EXPECT_EQ(back.stopBits, row.state.stopBits == 0 ? 0 : 2);
    EXPECT_EQ(back.flags & (dcb::kParityCheck | dcb::kOutX | dcb::kInX),
              row.state.flags & (dcb::kParityCheck | dcb::kOutX | dcb::kInX));
    EXPECT_EQ(back.flags & dcb::kBinary, dcb::kBinary);
    EXPECT_EQ(back.xonChar, 0x11);
    EXPECT_EQ(back.xoffChar, 0x13);
  }
}

TEST(SerialTermios, RefusesWhatTermiosCannotCarryAndChangesNothing) {
  const std::pair<const char*, CommState> cases[] = {
      {"no rate", lineSettings(0, 8, 0, 0)},
      {"9 data bits", lineSettings(9600, 9, 0, 0)},
      {"4 data bits", lineSettings(9600, 4, 0, 0)},
      {"parity code 5", lineSettings(9600, 8, 5, 0)},
      {"stop-bit code 3", lineSettings(9600, 8, 0, 3)},
      {"RTS toggle", lineSettings(9600, 8, 0, 0, dcb::kRtsControlMask)},
      {"DTR control 3", lineSettings(9600, 8, 0, 0, dcb::kDtrControlMask)},
  };
  for (const auto& [name, state] : cases) {
    SCOPED_TRACE(name);
    termios settings = cookedSettings();
    EXPECT_FALSE(platform::commStateToTermios(state, settings));
    EXPECT_EQ(settings.c_cflag, cookedSettings().c_cflag);
    EXPECT_EQ(settings.c_lflag, cookedSettings().c_lflag);
  }
}

// A rate the termios table lacks is left for termios2 to set: the speed
// stays as it was, the rest is applied.
TEST(SerialTermios, ARateOutsideTheTableLeavesTheSpeedToBeSetApart) {
  for (const std::uint32_t baud : {12345U, 14400U}) {
    termios settings = cookedSettings();
    ASSERT_EQ(cfsetspeed(&settings, B2400), 0);
    ASSERT_TRUE(platform::commStateToTermios(lineSettings(baud, 8, 0, 0), settings)) << baud;
    EXPECT_EQ(cfgetospeed(&settings), B2400);
    EXPECT_EQ(settings.c_cflag & kFraming, static_cast<tcflag_t>(CS8));
  }
}

std::unique_ptr<SerialPort> openPort(const char* name) {
  platform::OsError error;
  return platform::systemSerialPorts().open(name, error);
}

class SerialPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer_.ok());
    ASSERT_TRUE(ports_.map(7, peer_.slavePath()));
    port_ = openPort("com7");
    ASSERT_NE(port_, nullptr);
    CommState state{};
    state.length = sizeof(CommState);
    ASSERT_TRUE(port_->getState(state));
    EXPECT_EQ(state.length, sizeof(CommState));
    state =
        lineSettings(9600, 8, 0, 0, dcb::kBinary | dcb::kDtrControlEnable | dcb::kRtsControlEnable);
    // A pseudo-terminal has no modem lines: raising DTR and RTS is no fault.
    ASSERT_TRUE(port_->setState(state));
    ASSERT_TRUE(port_->setTimeouts(CommTimeouts{}));
  }

  std::uint32_t waiting() {
    std::uint32_t errors = 1;
    CommStatus status;
    EXPECT_TRUE(port_->clearError(errors, status));
    EXPECT_EQ(errors, 0U);
    return status.inQueue;
  }

  bool waitForWaiting(std::uint32_t count) {
    return posix_test::eventually([&] { return waiting() >= count; },
                                  [&] { port_->waitForInput(100); });
  }

  PtyPair peer_;
  PortDir ports_;
  std::unique_ptr<SerialPort> port_;
};

TEST_F(SerialPty, ReadsTheBytesThePeerSent) {
  EXPECT_EQ(waiting(), 0U);
  ASSERT_TRUE(peer_.send(std::string("\x02W\r\n\x00", 5)));
  ASSERT_TRUE(waitForWaiting(5));
  EXPECT_EQ(waiting(), 5U);
  std::uint8_t bytes[5] = {};
  std::uint32_t got = 0;
  ASSERT_TRUE(port_->read(bytes, 5, got));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), got), std::string("\x02W\r\n\x00", 5));
  EXPECT_EQ(waiting(), 0U);
}

TEST_F(SerialPty, WriteReachesThePeerAndTheTransmitterEmpties) {
  ASSERT_TRUE(port_->setEventMask(platform::kEventTxEmpty));
  const std::uint8_t request[] = {0x05, 0x11};
  std::uint32_t written = 0;
  ASSERT_TRUE(port_->write(request, 2, written, 256));
  EXPECT_EQ(written, 2U);
  std::uint32_t events = 0;
  ASSERT_TRUE(port_->waitEvent(events, 256));
  EXPECT_NE(events & platform::kEventTxEmpty, 0U);
  EXPECT_EQ(peer_.receive(2), "\x05\x11");
}

TEST_F(SerialPty, TakesAnyRateAndReportsTheRateInForce) {
  for (const std::uint32_t baud : {12345U, 250000U, 9600U}) {
    ASSERT_TRUE(port_->setState(lineSettings(baud, 8, 0, 0))) << baud;
    CommState state{};
    state.length = sizeof(CommState);
    ASSERT_TRUE(port_->getState(state));
    EXPECT_EQ(state.baudRate, baud);
  }
}

TEST_F(SerialPty, PurgeEmptiesTheReceiveQueue) {
  ASSERT_TRUE(peer_.send("stale"));
  ASSERT_TRUE(waitForWaiting(5));
  ASSERT_TRUE(port_->purge(platform::kPurgeTxClear | platform::kPurgeRxClear));
  EXPECT_EQ(waiting(), 0U);
}

TEST_F(SerialPty, SecondOpenIsRefusedUntilTheFirstCloses) {
  // As root too: TIOCEXCL alone would let root in.
  EXPECT_EQ(openPort("com7"), nullptr);
  ASSERT_TRUE(port_->close());
  auto again = openPort("com7");
  EXPECT_NE(again, nullptr);
}

TEST_F(SerialPty, HangUpFailsTheQueryAndWaitsDoNotHang) {
  peer_.closeMaster();
  std::uint32_t errors = 0;
  CommStatus status;
  EXPECT_FALSE(port_->clearError(errors, status));
  const auto start = std::chrono::steady_clock::now();
  port_->waitForInput(60000);
  EXPECT_LT(posix_test::elapsedMs(start), 30000);
  std::uint8_t byte = 0;
  std::uint32_t got = 0;
  EXPECT_FALSE(port_->read(&byte, 1, got));
  EXPECT_TRUE(port_->close());
}

// A program that had the device open before us (a forgotten terminal, a
// modem manager) may take a byte the driver has just reported: the read
// then returns at once with nothing instead of waiting for ever.
TEST(SerialPtyShared, AByteTakenByAnotherReaderLeavesTheReadEmptyHanded) {
  PtyPair peer;
  ASSERT_TRUE(peer.ok());
  PortDir ports;
  ASSERT_TRUE(ports.map(7, peer.slavePath()));
  const int other = ::open(peer.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  auto port = openPort("com7");
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(port->setState(lineSettings(9600, 8, 0, 0)));
  ASSERT_TRUE(port->setTimeouts(CommTimeouts{}));
  ASSERT_TRUE(peer.send("x"));
  CommStatus status;
  std::uint32_t errors = 0;
  ASSERT_TRUE(
      posix_test::eventually([&] { return port->clearError(errors, status) && status.inQueue > 0; },
                             [&] { port->waitForInput(100); }));
  char taken = 0;
  ASSERT_EQ(::read(other, &taken, 1), 1);
  std::uint8_t byte = 0;
  std::uint32_t got = 9;
  EXPECT_TRUE(port->read(&byte, 1, got));
  EXPECT_EQ(got, 0U);
  ::close(other);
}

TEST_F(SerialPty, AWriteThatCannotDrainGivesUpAtItsBound) {
  // Nobody reads the other end, and the block is many times what a
  // pseudo-terminal holds (15 KiB): however the kernel moves bytes on in
  // the background meanwhile, it cannot all go.
  const std::string block(128 * 1024, 'x');
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(block.data());
  std::uint32_t written = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(port_->write(bytes, static_cast<std::uint32_t>(block.size()), written, 100));
  EXPECT_GE(posix_test::elapsedMs(start), 90);
  EXPECT_LT(posix_test::elapsedMs(start), posix_test::kSafetyMs);
  EXPECT_LT(written, block.size());
  EXPECT_EQ(port_->lastError().code, ETIMEDOUT);
}

TEST(SerialPortNames, MapWindowsNamesToDevices) {
  PtyPair peer;
  ASSERT_TRUE(peer.ok());
  PortDir ports;
  ASSERT_TRUE(ports.map(7, peer.slavePath()));
  ASSERT_TRUE(ports.map(42, peer.slavePath()));
  ASSERT_TRUE(ports.map(5, "/nonexistent/device"));
  const std::pair<const char*, bool> cases[] = {
      {"com7", true},   {"COM7", true}, {"\\\\.\\com7", true}, {"\\\\.\\COM42", true},
      {"com42", false},  // Windows needs the prefix above 9
      {"com5", false},   // mapped, but nothing behind the mapping
      {"com07", false}, {"com", false}, {"com7x", false},      {"\\\\.\\com257", false},
      {"com-7", false}, {"", false},    {"tty7", false},
  };
  for (const auto& [name, opens] : cases) {
    SCOPED_TRACE(name);
    auto port = openPort(name);
    EXPECT_EQ(port != nullptr, opens);
  }
  // Any name with a slash is a device path, relative ones too.
  for (const char* path : {"/dev/ttyUSB0", "./com1", "dev/ttyS0"}) {
    EXPECT_EQ(platform::systemSerialPorts().deviceFor(path), path);
  }
}

// The link's RS-232 path end to end on a real device.
class ScaleLinkPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer_.ok());
    ASSERT_TRUE(ports_.map(42, peer_.slavePath()));
    settings_.mode = LinkMode::kRs232;
    settings_.comNumber = 42;
  }

  PtyPair peer_;
  PortDir ports_;
  LinkSettings settings_;
};

TEST_F(ScaleLinkPty, SendsTheRequestAndCollectsTheReply) {
  ScaleLink link(settings_, platform::systemServices());
  ASSERT_TRUE(link.open());
  const std::uint8_t enq = 0x05;
  ASSERT_TRUE(link.writeBytes(&enq, 1));
  EXPECT_EQ(peer_.receive(1), "\x05");
  ASSERT_TRUE(peer_.send("ST,GS,+  1.234kg\r\n"));
  std::uint8_t reply[21] = {};
  std::int32_t count = 0;
  ASSERT_TRUE(link.readReply(reply, count));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), static_cast<std::size_t>(count)),
            "ST,GS,+  1.234kg\r\n");
  link.close();
  EXPECT_FALSE(link.transport().isOpen());
}

TEST_F(ScaleLinkPty, HungUpPortEndsTheReply) {
  ScaleLink link(settings_, platform::systemServices());
  ASSERT_TRUE(link.open());
  peer_.closeMaster();
  std::uint8_t reply[21] = {};
  std::int32_t count = -1;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(link.readReply(reply, count));
  EXPECT_EQ(count, -1);
  EXPECT_LT(posix_test::elapsedMs(start), 30000);
}

// The device is pulled out and comes back under the same name, again and
// again: the link opens it anew each time and leaks no descriptor. Each
// pulled device is held until the name leads to the next, so that the
// name never leads to a terminal of someone else's meanwhile.
TEST_F(ScaleLinkPty, AHungUpPortIsOpenedAgainWhenTheDeviceIsBack) {
  auto openDescriptors = [] {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (dir != nullptr && readdir(dir) != nullptr) ++count;
    if (dir != nullptr) closedir(dir);
    return count;
  };
  auto pulled = std::make_unique<PtyPair>();
  ASSERT_TRUE(ports_.map(42, pulled->slavePath()));
  ScaleLink link(settings_, platform::systemServices());
  ASSERT_TRUE(link.open());
  pulled->closeMaster();
  const int before = openDescriptors();
  std::uint8_t reply[21] = {};
  std::int32_t count = 0;
  for (int cycle = 0; cycle < 1000; ++cycle) {
    EXPECT_FALSE(link.readReply(reply, count));
    ASSERT_TRUE(link.transport().gone());
    EXPECT_FALSE(link.restoreConnection()) << "the name still leads to the dead terminal";
    auto back = std::make_unique<PtyPair>();
    ASSERT_TRUE(ports_.map(42, back->slavePath()));
    ASSERT_TRUE(link.restoreConnection());
    ASSERT_FALSE(link.transport().gone());
    if (cycle == 0) {
      const std::uint8_t enq = 0x05;
      ASSERT_TRUE(link.writeBytes(&enq, 1));
      EXPECT_EQ(back->receive(1), "\x05");
    }
    back->closeMaster();
    pulled = std::move(back);
  }
  EXPECT_EQ(openDescriptors(), before) << "still one dead port held, as before";
  link.close();
}

TEST_F(ScaleLinkPty, PortHeldByTheLinkCannotBeOpenedTwice) {
  ScaleLink first(settings_, platform::systemServices());
  ASSERT_TRUE(first.open());
  ScaleLink second(settings_, platform::systemServices());
  EXPECT_FALSE(second.open());
  EXPECT_EQ(second.lastError(), LinkError::kSerialOpen);
}

}  // namespace
}  // namespace scalecheck
