#include <winsock2.h>  // brings windows.h, after the socket declarations
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/services.h"

namespace scalecheck::platform {
namespace {

// Bounds for waits on the loopback interface, which settle in milliseconds;
// a refused connect takes about a second on Windows, which retries it.
constexpr DWORD kSettleLimitMs = 5000;

// A socket bound to 127.0.0.1 on a port the system picks, listening when
// asked, made with Windows Sockets directly so that only the code under
// test goes through ours. Bound but not listening, it holds the port:
// connects to it are refused, and no test running beside takes it.
class LoopbackPort {
 public:
  explicit LoopbackPort(bool listening) {
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        (!listening || listen(socket_, 1) == 0) &&
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~LoopbackPort() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  LoopbackPort(const LoopbackPort&) = delete;
  LoopbackPort& operator=(const LoopbackPort&) = delete;

  bool ok() const { return port_ != 0; }
  std::string port() const { return std::to_string(port_); }
  SOCKET accept() { return ::accept(socket_, nullptr, nullptr); }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  unsigned short port_ = 0;
};

class WinSockets : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(sockets_.startup(0x0202), 0); }
  void TearDown() override { sockets_.cleanup(); }

  std::unique_ptr<Socket> connectTo(const std::string& port) {
    SocketAddress address;
    platform::OsError error;
    if (!sockets_.resolveTcp4("127.0.0.1", port.c_str(), address, error)) return nullptr;
    std::unique_ptr<Socket> socket =
        sockets_.open(address.family, address.type, address.protocol, error);
    if (!socket || socket->setNonBlocking() != 0) return nullptr;
    socket->connect(address);
    return socket;
  }

  // Polls until the connect has an outcome or the bound has passed.
  static Readiness settle(Socket& socket, bool& everWritable) {
    Readiness ready;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kSettleLimitMs) {
      EXPECT_NE(socket.pollAll(ready), kSocketError);
      everWritable = everWritable || ready.writable;
      if (ready.writable || ready.exceptional) break;
      Sleep(1);
    }
    return ready;
  }

  Sockets& sockets_ = systemSockets();
};

TEST_F(WinSockets, ResolvesTheFirstIpv4Address) {
  SocketAddress address;
  platform::OsError error;
  ASSERT_TRUE(sockets_.resolveTcp4("127.0.0.1", "4001", address, error));
  EXPECT_EQ(address.family, AF_INET);
  EXPECT_EQ(address.type, SOCK_STREAM);
  EXPECT_EQ(address.protocol, IPPROTO_TCP);
  ASSERT_EQ(address.length, sizeof(sockaddr_in));
  sockaddr_in ipv4{};
  std::memcpy(&ipv4, address.bytes, sizeof ipv4);
  EXPECT_EQ(ntohs(ipv4.sin_port), 4001);
  EXPECT_EQ(ntohl(ipv4.sin_addr.s_addr), static_cast<u_long>(INADDR_LOOPBACK));
  std::string dotted;
  ASSERT_TRUE(sockets_.resolveHost4("localhost", dotted, error));
  EXPECT_EQ(dotted, "127.0.0.1");
}

TEST_F(WinSockets, ConnectedSocketIsWritableAndCarriesBytesBothWays) {
  LoopbackPort listener(true);
  ASSERT_TRUE(listener.ok());
  std::unique_ptr<Socket> socket = connectTo(listener.port());
  ASSERT_TRUE(socket);
  bool everWritable = false;
  const Readiness ready = settle(*socket, everWritable);
  ASSERT_TRUE(ready.writable);
  EXPECT_FALSE(ready.exceptional);
  const SOCKET peer = listener.accept();
  ASSERT_NE(peer, INVALID_SOCKET);

  std::uint8_t byte = 0;
  EXPECT_EQ(socket->pollReadable(), 0);
  EXPECT_EQ(socket->recv(&byte, 1), kSocketError);  // nothing waits: would block

  const std::uint8_t request[] = {0x05, 0x11};
  EXPECT_EQ(socket->send(request, 2), 2);
  char received[2] = {};
  EXPECT_EQ(::recv(peer, received, 2, MSG_WAITALL), 2);
  EXPECT_EQ(received[0], 0x05);
  EXPECT_EQ(received[1], 0x11);

  ASSERT_EQ(::send(peer, "\x06", 1, 0), 1);
  closesocket(peer);
  const DWORD start = GetTickCount();
  while (socket->pollReadable() == 0 && GetTickCount() - start < kSettleLimitMs) Sleep(1);
  ASSERT_EQ(socket->recv(&byte, 1), 1);
  EXPECT_EQ(byte, 0x06);
  EXPECT_EQ(socket->recv(&byte, 1), 0);  // the peer has closed
  socket->shutdownBoth();
  socket->close();
  socket->close();  // a second close is harmless
}

TEST_F(WinSockets, RefusedConnectIsNeverWritable) {
  const LoopbackPort held(false);
  ASSERT_TRUE(held.ok());
  std::unique_ptr<Socket> socket = connectTo(held.port());
  ASSERT_TRUE(socket);
  bool everWritable = false;
  const Readiness ready = settle(*socket, everWritable);
  EXPECT_FALSE(everWritable);
  EXPECT_TRUE(ready.exceptional);
  EXPECT_EQ(socket->lastError().kind, platform::FailureKind::kRefused);
}

}  // namespace
}  // namespace scalecheck::platform
