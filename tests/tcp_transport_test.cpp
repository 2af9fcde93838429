#include "link/tcp_transport.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_services.h"
#include "link/scale_link.h"

namespace scalecheck {
namespace {

using testing::FakeServer;
using testing::FakeServices;

LinkSettings tcpSettings(const char* host = "10.1.2.3", std::int32_t port = 4001) {
  return testing::tcpLinkSettings(host, port);
}

// Opens with no code pending before.
bool openTcp(TcpTransport& transport, const LinkSettings& settings) {
  LinkError pending = LinkError::kNone;
  return transport.open(settings, pending);
}

class TcpTransportTest : public ::testing::Test {
 protected:
  FakeServices fake;
  TcpTransport tcp{fake.network, fake.clock};

  void SetUp() override { fake.network.servers["10.1.2.3:4001"] = FakeServer{}; }
  void connect() { ASSERT_TRUE(openTcp(tcp, tcpSettings())); }
  std::uint64_t timeToOpen(const LinkSettings& settings, bool& ok) {
    const std::uint64_t start = fake.clock.now();
    ok = openTcp(tcp, settings);
    return fake.clock.now() - start;
  }
  testing::TimedReply read() { return testing::readTimed(tcp, fake.clock); }
};

TEST_F(TcpTransportTest, ConnectsWithinTheWindowPollingEveryThirtyTwoMilliseconds) {
  struct Case {
    std::uint32_t acceptAfterMs;
    std::uint64_t openedAfter;
    int polls;
  };
  const Case cases[] = {{0, 32, 1}, {31, 32, 1}, {100, 128, 4}, {2015, 2016, 63}};
  for (const Case& c : cases) {
    FakeServices f;
    f.network.servers["10.1.2.3:4001"] = FakeServer{false, c.acceptAfterMs};
    TcpTransport t(f.network, f.clock);
    const std::uint64_t start = f.clock.now();
    ASSERT_TRUE(openTcp(t, tcpSettings())) << c.acceptAfterMs;
    EXPECT_EQ(f.clock.now() - start, c.openedAfter);
    EXPECT_EQ(f.network.last().pollAllCalls, c.polls);
    EXPECT_TRUE(f.network.last().nonBlocking);
    EXPECT_EQ(f.network.lastVersion, 0x0202);
    EXPECT_EQ(f.network.startups, 1);
    EXPECT_EQ(f.network.cleanups, 0);
  }
}

// A refusal is final as soon as the system reports it; only a peer that
// never answers uses up the window.
TEST_F(TcpTransportTest, ARefusalEndsTheWaitAtOnceSilenceAtTheWindow) {
  fake.network.servers["10.1.2.3:4002"] = FakeServer{true, 0};
  struct Case {
    const char* host;
    std::int32_t port;
    std::uint64_t elapsed;
    int polls;
    platform::FailureKind kind;
  };
  const Case cases[] = {{"10.1.2.3", 4002, 32, 1, platform::FailureKind::kRefused},
                        {"10.9.9.9", 4001, 2048, 63, platform::FailureKind::kTimedOut}};
  for (const Case& c : cases) {
    bool ok = true;
    EXPECT_EQ(timeToOpen(tcpSettings(c.host, c.port), ok), c.elapsed) << c.host;
    EXPECT_FALSE(ok);
    EXPECT_EQ(tcp.osError().kind, c.kind);
    EXPECT_EQ(fake.network.last().pollAllCalls, c.polls);
    EXPECT_TRUE(fake.network.last().closed);
    EXPECT_FALSE(tcp.isOpen());
  }
  EXPECT_EQ(fake.network.startups, fake.network.cleanups);
}

// A connect the system fails outright (no route to the network) is not
// under way: nothing is waited for.
TEST_F(TcpTransportTest, AConnectThatFailsOutrightIsNotWaitedFor) {
  fake.network.servers["10.1.2.3:4003"].unreachable = true;
  bool ok = true;
  EXPECT_EQ(timeToOpen(tcpSettings("10.1.2.3", 4003), ok), 0U);
  EXPECT_FALSE(ok);
  EXPECT_EQ(tcp.osError().code, 101);
  EXPECT_TRUE(fake.network.last().closed);
  EXPECT_EQ(fake.network.startups, fake.network.cleanups);
}

TEST_F(TcpTransportTest, AHeldConnectionToTheSameAddressIsReusedUntested) {
  connect();
  const int startups = fake.network.startups;
  bool ok = false;
  EXPECT_EQ(timeToOpen(tcpSettings(), ok), 0U);
  EXPECT_TRUE(ok);
  EXPECT_EQ(fake.network.startups, startups);
  EXPECT_EQ(fake.network.sockets.size(), 1U);
  EXPECT_EQ(fake.network.resolves, 1);
}

TEST_F(TcpTransportTest, AnotherAddressTearsTheHeldConnectionDownFirst) {
  connect();
  fake.network.servers["10.1.2.3:5000"] = FakeServer{};
  ASSERT_TRUE(openTcp(tcp, tcpSettings("10.1.2.3", 5000)));
  EXPECT_TRUE(fake.network.sockets[0]->shutDown);
  EXPECT_TRUE(fake.network.sockets[0]->closed);
  EXPECT_EQ(fake.network.startups - fake.network.cleanups, 1);
  // An empty host or port 0 still drops the held connection.
  EXPECT_FALSE(openTcp(tcp, tcpSettings("", 5000)));
  EXPECT_FALSE(tcp.isOpen());
  EXPECT_EQ(fake.network.startups, fake.network.cleanups);
  EXPECT_FALSE(openTcp(tcp, tcpSettings("10.1.2.3", 0)));
}

TEST_F(TcpTransportTest, EveryFailedOpenReleasesWhatItObtained) {
  struct Case {
    const char* name;
    void (*breakIt)(testing::FakeNetwork&);
    int startups;
  };
  const Case cases[] = {
      {"startup", [](testing::FakeNetwork& n) { n.startupFails = true; }, 0},
      {"resolve", [](testing::FakeNetwork& n) { n.unresolvable.insert("10.1.2.3"); }, 1},
      {"socket", [](testing::FakeNetwork& n) { n.socketFails = true; }, 1},
      {"non-blocking", [](testing::FakeNetwork& n) { n.nonBlockingFails = true; }, 1},
  };
  for (const Case& c : cases) {
    FakeServices f;
    f.network.servers["10.1.2.3:4001"] = FakeServer{};
    c.breakIt(f.network);
    TcpTransport t(f.network, f.clock);
    EXPECT_FALSE(openTcp(t, tcpSettings())) << c.name;
    EXPECT_EQ(f.network.startups, c.startups) << c.name;
    EXPECT_EQ(f.network.cleanups, c.startups) << c.name;
    for (const auto& socket : f.network.sockets) EXPECT_TRUE(socket->closed) << c.name;
    EXPECT_FALSE(t.isOpen());
  }
}

TEST_F(TcpTransportTest, AFailedSendDropsTheConnection) {
  connect();
  const std::uint8_t request[] = {0x05, 0x11};
  EXPECT_TRUE(tcp.writeBytes(request, 2));
  EXPECT_EQ(fake.network.last().sent, "\x05\x11");
  fake.network.last().sendFails = true;
  EXPECT_FALSE(tcp.writeBytes(request, 1));
  EXPECT_TRUE(fake.network.last().closed);
  EXPECT_FALSE(fake.network.last().shutDown);
  EXPECT_EQ(fake.network.startups, fake.network.cleanups);
  // Afterwards writes and reads fail at once, close does nothing, and open
  // connects afresh.
  EXPECT_FALSE(tcp.writeBytes(request, 1));
  EXPECT_FALSE(read().ok);
  tcp.close();
  EXPECT_EQ(fake.network.startups, fake.network.cleanups);
  connect();
  EXPECT_EQ(fake.network.sockets.size(), 2U);
}

TEST_F(TcpTransportTest, SendsOneToTwentyTwoBytes) {
  connect();
  const std::string big(23, 'x');
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(big.data());
  EXPECT_TRUE(tcp.writeBytes(bytes, 22));
  EXPECT_FALSE(tcp.writeBytes(bytes, 23)) << "refused: more than the send buffer holds";
  EXPECT_FALSE(tcp.writeBytes(bytes, 0));
  EXPECT_EQ(fake.network.last().sent.size(), 22U);
  EXPECT_TRUE(tcp.isOpen()) << "a refused request keeps the connection";
}

TEST_F(TcpTransportTest, ReplyLimitsAreThreeHundredAndEighty) {
  struct Case {
    std::uint64_t firstAt;
    std::uint64_t gap;  // 0: no second byte
    std::string expected;
  };
  const Case cases[] = {
      {299, 0, "A"},
      {301, 0, ""},
      {5, 79, "AB"},
      {5, 81, "A"},
  };
  for (const Case& c : cases) {
    FakeServices f;
    f.network.servers["10.1.2.3:4001"] = FakeServer{};
    TcpTransport t(f.network, f.clock);
    ASSERT_TRUE(openTcp(t, tcpSettings()));
    f.network.last().arriveAt(f.clock.now() + c.firstAt, "A");
    if (c.gap != 0) f.network.last().arriveAt(f.clock.now() + c.firstAt + c.gap, "B");
    std::uint8_t buffer[21] = {};
    std::int32_t count = 0;
    const bool ok = t.readReply(buffer, count);
    EXPECT_EQ(ok, !c.expected.empty()) << c.firstAt;
    EXPECT_EQ(
        std::string(reinterpret_cast<char*>(buffer), ok ? static_cast<std::size_t>(count) : 0),
        c.expected);
  }
}

TEST_F(TcpTransportTest, SilenceOfThreeHundredMillisecondsEndsTheWait) {
  connect();
  const testing::TimedReply reply = read();
  EXPECT_FALSE(reply.ok);
  EXPECT_EQ(reply.elapsed, 300U);
}

TEST_F(TcpTransportTest, TheTwentySecondByteIsTakenAndDropped) {
  connect();
  fake.network.last().arriveAt(fake.clock.now() + 10, std::string(21, 'a') + "bcd");
  const testing::TimedReply reply = read();
  EXPECT_EQ(reply.bytes, std::string(21, 'a'));
  EXPECT_EQ(reply.elapsed, 10U);
  fake.network.last().pump(fake.clock.now());
  EXPECT_EQ(fake.network.last().received.size(), 2U) << "later bytes stay on the socket";
}

TEST_F(TcpTransportTest, APeerThatClosesEndsTheReplyButNotTheConnection) {
  connect();
  fake.network.last().arriveAt(fake.clock.now() + 10, "ab", 1);
  fake.network.last().peerClosesAt = fake.clock.now() + 20;
  const testing::TimedReply reply = read();
  EXPECT_EQ(reply.bytes, "ab");
  EXPECT_EQ(reply.elapsed, 20U);
  EXPECT_TRUE(tcp.isOpen());
  EXPECT_FALSE(read().ok);
}

TEST_F(TcpTransportTest, BytesAlreadyReceivedStartTheReply) {
  connect();
  fake.network.last().arriveAt(fake.clock.now(), "\x06");
  fake.clock.advanceBy(1000);
  EXPECT_EQ(read().bytes, "\x06");
}

TEST_F(TcpTransportTest, CloseShutsDownAndBalancesTheStartup) {
  connect();
  tcp.close();
  EXPECT_TRUE(fake.network.last().shutDown);
  EXPECT_TRUE(fake.network.last().closed);
  EXPECT_EQ(fake.network.startups, 1);
  EXPECT_EQ(fake.network.cleanups, 1);
  tcp.close();
  EXPECT_EQ(fake.network.cleanups, 1);
}

TEST(TcpThroughTheLink, TheLinkDispatchesToTcpAndCleansUpWhenDestroyed) {
  FakeServices fake;
  fake.network.servers["10.1.2.3:4001"] = FakeServer{};
  {
    ScaleLink link(tcpSettings(), fake.services);
    ASSERT_TRUE(link.open());
    EXPECT_TRUE(link.transport().isOpen());
    const std::uint8_t enq = 0x05;
    EXPECT_TRUE(link.writeBytes(&enq, 1));
    EXPECT_EQ(link.lastError(), LinkError::kNone);
  }
  EXPECT_EQ(fake.network.startups, fake.network.cleanups);
}

}  // namespace
}  // namespace scalecheck
