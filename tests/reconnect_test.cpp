#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_services.h"
#include "fakes/scripted_scales.h"
#include "protocol/acquisition.h"

namespace scalecheck {
namespace {

using platform::FailureKind;
using testing::FakeServices;
using testing::FakeSocketState;
using testing::ScriptedScale;

const std::string kFrame = "ST,GS,+  1.234kg\r\n";

// A pulled adapter fails the poll as a silent scale does; from the next
// poll on the port is opened again, once a poll, each failure showing the
// open's own code, until the device is back.
TEST(Reconnect, APulledAdapterIsOpenedAgainOncePerPollUntilItIsBack) {
  FakeServices fake;
  ScaleLink link(testing::serialLinkSettings(), fake.services);
  ASSERT_TRUE(link.open());
  ScriptedScale().twoStep(fake.serial, kFrame);
  WeightReading reading;
  ASSERT_TRUE(pollReading(link, reading));

  fake.serial.removed = true;
  EXPECT_FALSE(pollReading(link, reading));
  EXPECT_EQ(link.lastError(), LinkError::kNoData);
  EXPECT_EQ(link.osError().kind, FailureKind::kGone);
  for (int poll = 0; poll < 3; ++poll) {
    EXPECT_FALSE(pollReading(link, reading));
    EXPECT_EQ(link.lastError(), LinkError::kSerialOpen);
    EXPECT_EQ(link.osError().kind, FailureKind::kNoDevice);
  }
  EXPECT_EQ(fake.serialPorts.namesOpened.size(), 4U) << "the first open and one a poll";

  fake.serial.removed = false;
  ASSERT_TRUE(pollReading(link, reading));
  EXPECT_EQ(reading.acquisitionMode, AcquisitionMode::kTwoStep);
  EXPECT_EQ(link.lastError(), LinkError::kNone);
  EXPECT_EQ(fake.serialPorts.namesOpened.size(), 5U);
}

// A link that was never opened, or was closed, is not opened by a poll.
TEST(Reconnect, APollDoesNotOpenALinkThatIsNotMeantToBeOpen) {
  FakeServices fake;
  ScaleLink link(testing::serialLinkSettings(), fake.services);
  WeightReading reading;
  EXPECT_FALSE(pollReading(link, reading));
  ASSERT_TRUE(link.open());
  link.close();
  EXPECT_FALSE(pollReading(link, reading));
  EXPECT_EQ(fake.serialPorts.namesOpened.size(), 1U);
}

// Each new connection answers as a two-step scale.
void answerAsTwoStepScale(FakeServices& fake) {
  fake.network.onConnect = [&fake](FakeSocketState& peer) {
    peer.onSend = [&fake, &peer](const std::string& sent) {
      if (sent == "\x05") peer.arriveAt(fake.clock.now() + 10, "\x06");
      if (sent == "\x11") peer.arriveAt(fake.clock.now() + 10, kFrame, 1);
    };
  };
}

// A peer that closed, or that a failed send left behind, is connected to
// again at the next poll; while it refuses, each poll shows code 9.
TEST(Reconnect, ALostPeerIsConnectedToAgainAtTheNextPoll) {
  for (const bool byFailedSend : {false, true}) {
    SCOPED_TRACE(byFailedSend ? "failed send" : "peer closed");
    FakeServices fake;
    answerAsTwoStepScale(fake);
    ScaleLink link(testing::tcpLinkToServer(fake.network, "10.0.0.5", 4001), fake.services);
    ASSERT_TRUE(link.open());
    WeightReading reading;
    ASSERT_TRUE(pollReading(link, reading));

    if (byFailedSend) {
      fake.network.last().sendFails = true;
    } else {
      fake.network.last().peerClosesAt = fake.clock.now();
      fake.network.last().onSend = nullptr;
    }
    fake.network.servers["10.0.0.5:4001"].refuses = true;
    EXPECT_FALSE(pollReading(link, reading));
    EXPECT_FALSE(pollReading(link, reading));
    EXPECT_EQ(link.lastError(), LinkError::kTcpConnect);
    EXPECT_EQ(link.osError().kind, FailureKind::kRefused);

    fake.network.servers["10.0.0.5:4001"].refuses = false;
    ASSERT_TRUE(pollReading(link, reading));
    EXPECT_EQ(link.lastError(), LinkError::kNone);
    EXPECT_EQ(fake.network.startups - fake.network.cleanups, 1) << "only the live connection";
  }
}

}  // namespace
}  // namespace scalecheck
