// The link itself, in this process, against scale-sim (and a scripted peer)
// over real pseudo-terminals and real sockets on 127.0.0.1.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/data_files.h"
#include "e2e/scale_sim_process.h"
#include "e2e/scratch_dir.h"
#include "e2e/tcp_peer.h"
#include "harness/deadline.h"
#include "link/scale_link.h"
#include "link_settings_for_tests.h"
#include "protocol/acquisition.h"

namespace scalecheck::e2e {
namespace {

constexpr char kEnq = 0x05;
constexpr char kAck = 0x06;
constexpr char kDc1 = 0x11;
// What scale-sim sends by default, and the reading it must give.
constexpr const char* kFrame = "ST,GS,+  1.234kg\r\n";

// The link writes "#DeviceIO" into the working directory and finds COM
// numbers through the environment, both the whole process's: each test gets
// a folder of each of its own, and puts the old ones back.
class LinkAgainstSim : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(work_.ok() && ports_.ok());
    ASSERT_NE(getcwd(previousDir_, sizeof previousDir_), nullptr);
    ASSERT_EQ(chdir(work_.path().c_str()), 0);
    ASSERT_EQ(setenv("SCALECHECK_PORT_DIR", ports_.path().c_str(), 1), 0);
  }
  void TearDown() override {
    unsetenv("SCALECHECK_PORT_DIR");
    EXPECT_EQ(chdir(previousDir_), 0);
  }

  std::string portLink() const { return ports_.file("com1"); }
  const ScratchDir& work() const { return work_; }

 private:
  ScratchDir work_;
  ScratchDir ports_;
  char previousDir_[4096] = {};
};

LinkSettings serialSettings(std::uint8_t parity, std::uint8_t dataBits) {
  LinkSettings settings = scalecheck::testing::serialLinkSettings();
  settings.parity = parity;
  settings.dataBits = dataBits;
  return settings;
}

LinkSettings tcpSettings(int port) {
  return scalecheck::testing::tcpLinkSettings("127.0.0.1", port);
}

// The default frame of scale-sim, read in the way `mode` names.
void expectDefaultReading(const WeightReading& reading, AcquisitionMode mode) {
  EXPECT_EQ(reading.valid, 1);
  EXPECT_EQ(reading.acquisitionMode, mode);
  EXPECT_EQ(reading.stability, StabilityState::kStable);
  EXPECT_FLOAT_EQ(reading.weight, 1.234F);
  EXPECT_EQ(reading.hasPoint, 1);
  EXPECT_EQ(reading.decimals, 3);
  EXPECT_STREQ(reading.weightText, "1,234");
  EXPECT_EQ(reading.unit, WeightUnit::kKilogram);
}

struct KindRow {
  const char* name;
  const char* kind;
  AcquisitionMode mode;
  bool sevenEven;  // 7 data bits, even parity (the RLV model)
};

// Names the row in failure messages (instead of its bytes).
void PrintTo(const KindRow& row, std::ostream* out) {
  *out << row.name;
}

std::string kindRowName(const ::testing::TestParamInfo<KindRow>& row) {
  return row.param.name;
}

class SerialKinds : public LinkAgainstSim, public ::testing::WithParamInterface<KindRow> {};

// Each kind of scale is found out on a real pseudo-terminal: a streaming
// scale from its frames alone, the others by their requests; "#DeviceIO"
// gets the frame that gave the reading.
TEST_P(SerialKinds, ReadsTheWeightOverAPseudoTerminal) {
  const KindRow& row = GetParam();
  harness::SimProcess sim;
  ASSERT_TRUE(startSim(sim, {"--pty", portLink(), "--kind", row.kind}));

  ScaleLink link(row.sevenEven ? serialSettings(parity::kEven, 7)
                               : serialSettings(parity::kNone, 8));
  ASSERT_TRUE(link.open());
  WeightReading reading;
  ASSERT_TRUE(pollReading(link, reading));
  expectDefaultReading(reading, row.mode);
  EXPECT_EQ(link.lastError(), LinkError::kNone);
  link.close();

  // A stream frame is the 21 bytes after the first CR LF: one frame and the
  // start of the next. A reply is dumped as it came.
  const std::string frame = row.mode == AcquisitionMode::kStream
                                ? (std::string(kFrame) + kFrame).substr(0, 21)
                                : std::string(kFrame);
  EXPECT_EQ(work().read("#DeviceIO"), storedAsText(frame));
  EXPECT_TRUE(sim.stop().exited);
}

INSTANTIATE_TEST_SUITE_P(
    Pty, SerialKinds,
    ::testing::Values(KindRow{"Stream", "stream", AcquisitionMode::kStream, false},
                      KindRow{"TwoStep", "two-step", AcquisitionMode::kTwoStep, false},
                      KindRow{"Combined", "combined", AcquisitionMode::kCombined, false},
                      // The pty keeps 8 data bits and no parity whatever
                      // is set (so the scale there stays 8N1); the
                      // settings must still be taken.
                      KindRow{"TwoStep7E1", "two-step", AcquisitionMode::kTwoStep, true}),
    kindRowName);

class TcpKinds : public LinkAgainstSim, public ::testing::WithParamInterface<KindRow> {};

TEST_P(TcpKinds, ReadsTheWeightOverTcp) {
  const KindRow& row = GetParam();
  harness::SimProcess sim;
  ASSERT_TRUE(startSim(sim, {"--tcp", "0", "--kind", row.kind}));

  ScaleLink link(tcpSettings(sim.ready().port));
  ASSERT_TRUE(link.open());
  WeightReading reading;
  ASSERT_TRUE(pollReading(link, reading));
  expectDefaultReading(reading, row.mode);
  link.close();
  EXPECT_FALSE(link.transport().isOpen());
  EXPECT_TRUE(sim.stop().exited);
}

INSTANTIATE_TEST_SUITE_P(
    Loopback, TcpKinds,
    ::testing::Values(KindRow{"Stream", "stream", AcquisitionMode::kStream, false},
                      KindRow{"TwoStep", "two-step", AcquisitionMode::kTwoStep, false},
                      KindRow{"Combined", "combined", AcquisitionMode::kCombined, false}),
    kindRowName);

using TcpLink = LinkAgainstSim;

// A two-step scale: ACK for ENQ, the frame for DC1, until the link hangs up.
void answerAsTwoStepScale(const ScriptedTcpPeer::Connection& connection) {
  while (connection.awaitByte(kEnq) && connection.send(std::string(1, kAck)) &&
         connection.awaitByte(kDc1) && connection.send(kFrame)) {
  }
}

TEST_F(TcpLink, HeldConnectionIsReusedAsItIs) {
  ScriptedTcpPeer peer(
      [](const ScriptedTcpPeer::Connection& connection, int) { answerAsTwoStepScale(connection); });
  ASSERT_GT(peer.port(), 0);
  ScaleLink link(tcpSettings(peer.port()));
  ASSERT_TRUE(link.open());
  ASSERT_TRUE(link.transport().isOpen());

  ASSERT_TRUE(link.open());  // no second connection: the peer counts one below
  WeightReading reading;
  ASSERT_TRUE(pollReading(link, reading));
  expectDefaultReading(reading, AcquisitionMode::kTwoStep);
  link.close();
  EXPECT_EQ(peer.accepted(), 1);
}

// The scale hangs up halfway through its frame: the reply ends there with
// what came, the link keeps the connection until a send finds it gone, and
// a new open then connects afresh.
TEST_F(TcpLink, PeerHangingUpMidReplyEndsTheReplyThenTheConnection) {
  ScriptedTcpPeer peer([](const ScriptedTcpPeer::Connection& connection, int number) {
    if (number > 0) {
      answerAsTwoStepScale(connection);
    } else if (connection.awaitByte(kEnq) && connection.send(std::string(1, kAck)) &&
               connection.awaitByte(kDc1)) {
      static_cast<void>(connection.send("ST,GS,+  1.2"));
    }
  });
  ASSERT_GT(peer.port(), 0);
  ScaleLink link(tcpSettings(peer.port()));
  ASSERT_TRUE(link.open());

  std::uint8_t reply[32] = {};
  std::int32_t count = 0;
  const auto enq = static_cast<std::uint8_t>(kEnq);
  const auto dc1 = static_cast<std::uint8_t>(kDc1);
  ASSERT_TRUE(link.writeBytes(&enq, 1));
  ASSERT_TRUE(link.readReply(reply, count));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), static_cast<std::size_t>(count)),
            std::string(1, kAck));
  ASSERT_TRUE(link.writeBytes(&dc1, 1));
  ASSERT_TRUE(link.readReply(reply, count));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), static_cast<std::size_t>(count)),
            "ST,GS,+  1.2");
  EXPECT_TRUE(link.transport().isOpen());

  // The first send to a closed peer may still be taken by the system; the
  // peer's reset makes the next fail at the latest. No SIGPIPE may end
  // the program on the way.
  bool sendFailed = false;
  for (int attempt = 0; attempt < 2 && !sendFailed; ++attempt) {
    sendFailed = !link.writeBytes(&enq, 1);
    if (!sendFailed) {
      EXPECT_FALSE(link.readReply(reply, count));
    }
  }
  EXPECT_TRUE(sendFailed);
  EXPECT_FALSE(link.transport().isOpen());

  ASSERT_TRUE(link.open());
  WeightReading reading;
  ASSERT_TRUE(pollReading(link, reading));
  expectDefaultReading(reading, AcquisitionMode::kTwoStep);
  EXPECT_EQ(peer.accepted(), 2);
}

// A serial device server that restarts: the link notices the closed
// connection, fails that poll, and connects again at the next. The port is
// held throughout, so that no other program takes it while it is free.
TEST_F(TcpLink, ATcpPeerThatGoesAndComesBackIsConnectedToAgain) {
  const RefusingPort held;
  ASSERT_GT(held.port(), 0);
  const std::string port = std::to_string(held.port());
  harness::SimProcess first;
  ASSERT_TRUE(startSim(first, {"--tcp", port, "--kind", "two-step"}));
  ScaleLink link(tcpSettings(held.port()));
  ASSERT_TRUE(link.open());
  WeightReading reading;
  ASSERT_TRUE(pollReading(link, reading));
  EXPECT_TRUE(first.stop().exited);
  EXPECT_FALSE(pollReading(link, reading));

  harness::SimProcess back;
  ASSERT_TRUE(startSim(back, {"--tcp", port, "--kind", "two-step"}));
  const bool first_poll = pollReading(link, reading);
  EXPECT_TRUE(first_poll || pollReading(link, reading)) << "within two polls";
  EXPECT_EQ(reading.acquisitionMode, AcquisitionMode::kTwoStep);
  link.close();
}

// A refused connection is given up as soon as the system reports it, not
// when the connect window has passed.
TEST_F(TcpLink, RefusedConnectionFailsWithoutWaitingForTheWindow) {
  const RefusingPort refusing;
  ASSERT_GT(refusing.port(), 0);
  ScaleLink link(tcpSettings(refusing.port()));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(link.open());
  EXPECT_LT(harness::millisecondsSince(start), TcpTransport::kConnectWindowMs);
  EXPECT_EQ(link.osError().kind, platform::FailureKind::kRefused);
  EXPECT_FALSE(link.transport().isOpen());
}

}  // namespace
}  // namespace scalecheck::e2e
