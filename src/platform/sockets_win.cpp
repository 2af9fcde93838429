#include <winsock2.h>  // brings windows.h, after the socket declarations
#include <ws2tcpip.h>

#include <cstring>

#include "platform/sockets.h"

// Winsock calls fail with SOCKET_ERROR (a socket: INVALID_SOCKET), the
// reason in WSAGetLastError, unless said otherwise; results are passed on
// as they are.

namespace scalecheck::platform {
namespace {

static_assert(kSocketError == SOCKET_ERROR, "SOCKET_ERROR");

class WinSocket final : public Socket {
 public:
  explicit WinSocket(SOCKET socket) : socket_(socket) {}
  ~WinSocket() override { close(); }
  WinSocket(const WinSocket&) = delete;
  WinSocket& operator=(const WinSocket&) = delete;

  int setNonBlocking() override {
    u_long nonBlocking = 1;
    return ioctlsocket(socket_, static_cast<long>(FIONBIO), &nonBlocking);
  }

  // A non-blocking socket normally fails with WSAEWOULDBLOCK while the
  // connection is under way.
  int connect(const SocketAddress& address) override {
    if (address.length > sizeof address.bytes) return kSocketError;
    sockaddr_storage target{};
    std::memcpy(&target, address.bytes, address.length);
    const int result = ::connect(socket_, reinterpret_cast<const sockaddr*>(&target),
                                 static_cast<int>(address.length));
    if (result == 0) return 0;
    // A connect that failed outright (an unreachable network) is under way
    // no more: its reason is kept, so the caller need not wait for it.
    const int code = WSAGetLastError();
    if (code != WSAEWOULDBLOCK) lastError_ = OsError{classifyConnectError(code), code};
    return kSocketError;
  }

  // select empties the sets it is given, so each poll fills them anew.
  int pollAll(Readiness& ready) override {
    fd_set readSet;
    fd_set writeSet;
    fd_set exceptSet;
    holdOnly(readSet);
    holdOnly(writeSet);
    holdOnly(exceptSet);
    timeval noWait{0, 0};
    // The first argument is ignored by Windows Sockets.
    const int result = select(0, &readSet, &writeSet, &exceptSet, &noWait);
    if (result == SOCKET_ERROR) return kSocketError;
    ready.readable = FD_ISSET(socket_, &readSet) != 0;
    ready.writable = FD_ISSET(socket_, &writeSet) != 0;
    ready.exceptional = FD_ISSET(socket_, &exceptSet) != 0;
    if (ready.exceptional && !ready.writable) noteConnectFailure();
    return result;
  }

  int pollReadable() override {
    fd_set readSet;
    holdOnly(readSet);
    timeval noWait{0, 0};
    return select(0, &readSet, nullptr, nullptr, &noWait);
  }

  // The link polls between these pauses, as it does on the serial port:
  // Sleep(1), not a yield, which would keep a core busy.
  void waitForInput(std::uint32_t /*maxMilliseconds*/) override { Sleep(1); }

  int bytesWaiting() override {
    u_long waiting = 0;
    if (ioctlsocket(socket_, FIONREAD, &waiting) != 0) return kSocketError;
    return waiting > INT_MAX ? INT_MAX : static_cast<int>(waiting);
  }

  int send(const std::uint8_t* bytes, int length) override {
    const int sent = ::send(socket_, reinterpret_cast<const char*>(bytes), length, 0);
    return sent != SOCKET_ERROR ? sent : failed();
  }

  // Nothing waiting yet (WSAEWOULDBLOCK) is no failure to keep.
  int recv(std::uint8_t* buffer, int length) override {
    const int got = ::recv(socket_, reinterpret_cast<char*>(buffer), length, 0);
    if (got != SOCKET_ERROR || WSAGetLastError() == WSAEWOULDBLOCK) return got;
    return failed();
  }

  // Ignored: a connection already gone is no concern here.
  void shutdownBoth() override { ::shutdown(socket_, SD_BOTH); }

  // Ignored: the handle is released either way.
  void close() override {
    if (socket_ == INVALID_SOCKET) return;
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }

  const OsError& lastError() const override { return lastError_; }

 private:
  // WSAGetLastError of the call that just failed.
  int failed() {
    const int code = WSAGetLastError();
    lastError_ = OsError{classifyInUseError(code), code};
    return SOCKET_ERROR;
  }

  // Why a connect failed: getsockopt SO_ERROR gives it.
  void noteConnectFailure() {
    int code = 0;
    int size = sizeof code;
    if (getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code), &size) != 0 ||
        code == 0) {
      return;
    }
    lastError_ = OsError{classifyConnectError(code), code};
  }

  void holdOnly(fd_set& set) const {
    FD_ZERO(&set);
    FD_SET(socket_, &set);
  }

  SOCKET socket_;
  OsError lastError_;
};

class WinSockets : public Sockets {
 public:
  // WSAStartup returns its error code itself: WSAGetLastError is not
  // usable before a start-up.
  int startup(std::uint16_t version) override {
    WSADATA data{};
    return WSAStartup(version, &data);
  }

  // Ignored: nothing is left to do on failure.
  void cleanup() override { WSACleanup(); }

  bool resolveTcp4(const char* host, const char* port, SocketAddress& first,
                   OsError& error) override {
    addrinfo hints{};
    hints.ai_flags = 0;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    // getaddrinfo returns its error code itself (WSAHOST_NOT_FOUND, ...).
    const int result = getaddrinfo(host, port, &hints, &list);
    if (result != 0) {
      error = OsError{FailureKind::kNameNotFound, result};
      return false;
    }
    const bool copied = list != nullptr && copyAddress(*list, first);
    freeaddrinfo(list);
    if (!copied) error = OsError{FailureKind::kOther, WSAEAFNOSUPPORT};
    return copied;
  }

  std::unique_ptr<Socket> open(int family, int type, int protocol, OsError& error) override {
    const SOCKET socket = ::socket(family, type, protocol);
    if (socket == INVALID_SOCKET) {
      error = OsError{FailureKind::kOther, WSAGetLastError()};
      return nullptr;
    }
    return std::make_unique<WinSocket>(socket);
  }

 private:
  static bool copyAddress(const addrinfo& entry, SocketAddress& first) {
    if (entry.ai_addr == nullptr || entry.ai_addrlen > sizeof first.bytes) return false;
    first.family = entry.ai_family;
    first.type = entry.ai_socktype;
    first.protocol = entry.ai_protocol;
    first.length = static_cast<std::uint32_t>(entry.ai_addrlen);
    std::memcpy(first.bytes, entry.ai_addr, entry.ai_addrlen);
    return true;
  }
};

}  // namespace

Sockets& systemSockets() {
  static WinSockets sockets;
  return sockets;
}

}  // namespace scalecheck::platform
