#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "e2e/tcp_peer.h"
#include "harness/loopback.h"
#include "link/scale_link.h"
#include "platform/services.h"
#include "posix/pty_pair.h"

namespace scalecheck {
namespace {

using platform::Readiness;
using platform::Socket;

// A TCP server of the test's own on 127.0.0.1, on a port the system picks.
class Listener {
 public:
  Listener() : socket_(harness::bindLoopback(true, port_)) {}

  int port() const { return port_; }
  std::string portText() const { return std::to_string(port_); }

  // The next connection, or -1 when none comes within `boundMs`.
  int accept(int boundMs = posix_test::kSafetyMs) const {
    pollfd entry{socket_.get(), POLLIN, 0};
    if (::poll(&entry, 1, boundMs) <= 0) return -1;
    return ::accept4(socket_.get(), nullptr, nullptr, SOCK_CLOEXEC);
  }

 private:
  int port_ = 0;
  harness::Fd socket_;
};

class Loopback : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(listener_.port(), 0);
    ASSERT_EQ(sockets_.startup(0x0202), 0);
  }
  void TearDown() override {
    sockets_.cleanup();
    if (peer_ >= 0) ::close(peer_);
  }

  // A non-blocking socket with its connect to the listener's port issued.
  std::unique_ptr<Socket> connectTo(const std::string& port) {
    platform::SocketAddress address;
    platform::OsError error;
    if (!sockets_.resolveTcp4("127.0.0.1", port.c_str(), address, error)) return nullptr;
    auto socket = sockets_.open(address.family, address.type, address.protocol, error);
    if (!socket || socket->setNonBlocking() != 0) return nullptr;
    socket->connect(address);
    return socket;
  }

  bool becomesWritable(Socket& socket) {
    return posix_test::eventually(
        [&] {
          Readiness ready;
          return socket.pollAll(ready) > 0 && ready.writable;
        },
        posix_test::pauseOneMs);
  }

  Listener listener_;
  platform::Sockets& sockets_ = platform::systemSockets();
  int peer_ = -1;
};

TEST_F(Loopback, ConnectedSocketIsWritable) {
  auto socket = connectTo(listener_.portText());
  ASSERT_NE(socket, nullptr);
  ASSERT_TRUE(becomesWritable(*socket));
  Readiness ready;
  ASSERT_GE(socket->pollAll(ready), 1);
  EXPECT_FALSE(ready.exceptional);
  EXPECT_FALSE(ready.readable);  // nothing sent yet
}

TEST_F(Loopback, RefusedConnectIsExceptionalAndNeverWritable) {
  // Held, not listening: a port merely given up could be taken meanwhile.
  const e2e::RefusingPort refusing;
  ASSERT_GT(refusing.port(), 0);
  auto socket = connectTo(std::to_string(refusing.port()));
  ASSERT_NE(socket, nullptr);
  bool everWritable = false;
  bool everReadable = false;
  const bool refused = posix_test::eventually(
      [&] {
        Readiness ready;
        EXPECT_NE(socket->pollAll(ready), platform::kSocketError);
        everWritable = everWritable || ready.writable;
        everReadable = everReadable || ready.readable;
        return ready.exceptional;
      },
      posix_test::pauseOneMs);
  EXPECT_TRUE(refused);
  EXPECT_EQ(socket->lastError().kind, platform::FailureKind::kRefused);
  // Watch a little longer: a refusal must not turn writable later either.
  for (int poll = 0; poll < 50; ++poll) {
    Readiness ready;
    socket->pollAll(ready);
    everWritable = everWritable || ready.writable;
    everReadable = everReadable || ready.readable;
  }
  EXPECT_FALSE(everWritable);
  EXPECT_FALSE(everReadable);
}

TEST_F(Loopback, PeerThatClosedReadsAsEnd) {
  auto socket = connectTo(listener_.portText());
  ASSERT_NE(socket, nullptr);
  peer_ = listener_.accept();
  ASSERT_GE(peer_, 0);
  ASSERT_EQ(::send(peer_, "A", 1, 0), 1);
  ::close(peer_);
  peer_ = -1;
  ASSERT_TRUE(posix_test::eventually([&] { return socket->pollReadable() > 0; },
                                     [&] { socket->waitForInput(100); }));
  std::uint8_t byte = 0;
  EXPECT_EQ(socket->recv(&byte, 1), 1);
  EXPECT_EQ(byte, 'A');
  EXPECT_GT(socket->pollReadable(), 0);
  EXPECT_EQ(socket->recv(&byte, 1), 0);
}

TEST_F(Loopback, NothingWaitingIsNotReadable) {
  auto socket = connectTo(listener_.portText());
  ASSERT_NE(socket, nullptr);
  ASSERT_TRUE(becomesWritable(*socket));
  EXPECT_EQ(socket->pollReadable(), 0);
  std::uint8_t byte = 0;
  EXPECT_EQ(socket->recv(&byte, 1), platform::kSocketError);
}

TEST_F(Loopback, SendToClosedPeerFailsWithoutSignal) {
  // Default disposition while this runs: a SIGPIPE would end the test run.
  const auto previous = std::signal(SIGPIPE, SIG_DFL);
  auto socket = connectTo(listener_.portText());
  ASSERT_NE(socket, nullptr);
  peer_ = listener_.accept();
  ASSERT_GE(peer_, 0);
  ASSERT_TRUE(becomesWritable(*socket));
  ::close(peer_);
  peer_ = -1;
  const std::uint8_t request[] = {0x05};
  // The first send may still be accepted; the peer's reset fails the next.
  const bool failed =
      posix_test::eventually([&] { return socket->send(request, 1) == platform::kSocketError; },
                             [&] { socket->waitForInput(10); });
  std::signal(SIGPIPE, previous);
  EXPECT_TRUE(failed);
}

TEST_F(Loopback, UnknownHostDoesNotResolve) {
  platform::SocketAddress address;
  platform::OsError error;
  EXPECT_FALSE(sockets_.resolveTcp4("no-such-host.invalid", "80", address, error));
  EXPECT_EQ(error.kind, platform::FailureKind::kNameNotFound);
  ASSERT_TRUE(sockets_.resolveTcp4("127.0.0.1", "4001", address, error));
  EXPECT_EQ(address.family, AF_INET);
  EXPECT_EQ(address.length, sizeof(sockaddr_in));
  sockaddr_in resolved{};
  std::memcpy(&resolved, address.bytes, sizeof resolved);
  EXPECT_EQ(ntohs(resolved.sin_port), 4001);
  std::string dotted;
  ASSERT_TRUE(sockets_.resolveHost4("127.000000000000000000000000.1", dotted, error));
  EXPECT_EQ(dotted, "127.0.0.1");
}

// The link's TCP path end to end on a real connection.
TEST_F(Loopback, ScaleLinkConnectsReusesAndReadsTheReply) {
  LinkSettings settings;
  settings.mode = LinkMode::kTcp;
  settings.tcpPort = listener_.port();
  std::snprintf(settings.host, sizeof settings.host, "%s", "127.0.0.1");
  ScaleLink link(settings, platform::systemServices());
  ASSERT_TRUE(link.open());
  peer_ = listener_.accept();
  ASSERT_GE(peer_, 0);

  // Held connection reused: no second connection reaches the listener (a
  // loopback connect would be queued there before open returned).
  ASSERT_TRUE(link.open());
  EXPECT_EQ(listener_.accept(0), -1);

  const std::uint8_t request[] = {0x05, 0x11};
  ASSERT_TRUE(link.writeBytes(request, 2));
  char received[2] = {};
  ASSERT_EQ(::recv(peer_, received, 2, MSG_WAITALL), 2);
  EXPECT_EQ(std::string(received, 2), "\x05\x11");

  const std::string frame = "ST,GS,+  1.234kg\r\n";
  ASSERT_EQ(::send(peer_, frame.data(), frame.size(), 0), static_cast<ssize_t>(frame.size()));
  std::uint8_t reply[21] = {};
  std::int32_t count = 0;
  ASSERT_TRUE(link.readReply(reply, count));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), static_cast<std::size_t>(count)), frame);
  link.close();
  EXPECT_FALSE(link.transport().isOpen());
}

}  // namespace
}  // namespace scalecheck
