#include <netdb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/services.h"
#include "platform/sockets.h"

// POSIX calls return -1 and set errno on failure unless said otherwise.

namespace scalecheck::platform {
namespace {

// One zero-time-out or bounded poll of a socket. Returns the revents, 0
// when nothing is ready, -1 on failure (EINTR too: the caller looks again).
int pollSocket(int fd, short events, int timeoutMs) {
  pollfd entry{fd, events, 0};
  const int ready = ::poll(&entry, 1, timeoutMs);
  if (ready < 0) return -1;
  return ready == 0 ? 0 : entry.revents;
}

class PosixSocket final : public Socket {
 public:
  explicit PosixSocket(int fd) : fd_(fd) {}
  ~PosixSocket() override { close(); }
  PosixSocket(const PosixSocket&) = delete;
  PosixSocket& operator=(const PosixSocket&) = delete;

  int setNonBlocking() override {
    int on = 1;
    return ioctl(fd_, FIONBIO, &on) == 0 ? 0 : kSocketError;
  }

  int connect(const SocketAddress& address) override {
    // EINPROGRESS is the usual answer of a non-blocking socket, as
    // WSAEWOULDBLOCK is.
    // The bytes are copied into storage aligned for any address family.
    sockaddr_storage storage{};
    const std::size_t length =
        std::min<std::size_t>({address.length, sizeof storage, sizeof address.bytes});
    std::memcpy(&storage, address.bytes, length);
    const int result =
        ::connect(fd_, reinterpret_cast<const sockaddr*>(&storage), static_cast<socklen_t>(length));
    if (result == 0) return 0;
    // A connect that failed outright (an unreachable network) is under way
    // no more: its reason is kept, so the caller need not wait for it.
    if (errno != EINPROGRESS && errno != EINTR)
      lastError_ = OsError{classifyConnectError(errno), errno};
    return kSocketError;
  }

  // Windows select puts a socket whose connect failed into the exception set
  // only. Linux reports a refused connect as POLLOUT|POLLERR|POLLHUP (and
  // POLLIN), so "writable" is granted only to a connected socket, which
  // getpeername tells (SO_ERROR would not do: it is cleared by one read).
  int pollAll(Readiness& ready) override {
    ready = Readiness{};
    const int events = pollSocket(fd_, POLLIN | POLLOUT | POLLPRI, 0);
    if (events < 0 || (events & POLLNVAL) != 0) return kSocketError;
    if (isConnected()) {
      ready.readable = (events & (POLLIN | POLLHUP | POLLERR)) != 0;
      ready.writable = (events & POLLOUT) != 0;
      ready.exceptional = (events & POLLPRI) != 0;  // urgent data, as select shows it
    } else {
      ready.exceptional = (events & (POLLERR | POLLHUP)) != 0;
      if (ready.exceptional) noteConnectFailure();
    }
    return static_cast<int>(ready.readable) + static_cast<int>(ready.writable) +
           static_cast<int>(ready.exceptional);
  }

  // A peer that has closed counts as readable, as in select: recv then
  // gives 0.
  int pollReadable() override {
    const int events = pollSocket(fd_, POLLIN, 0);
    if (events < 0 || (events & POLLNVAL) != 0) return kSocketError;
    if (!isConnected()) return 0;
    return (events & (POLLIN | POLLHUP | POLLERR)) != 0 ? 1 : 0;
  }

  void waitForInput(std::uint32_t maxMilliseconds) override {
    // The outcome does not matter: the caller polls the socket next.
    pollSocket(fd_, POLLIN,
               maxMilliseconds > INT_MAX ? INT_MAX : static_cast<int>(maxMilliseconds));
  }

  int bytesWaiting() override {
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0) return kSocketError;
    return waiting;
  }

  int send(const std::uint8_t* bytes, int length) override {
    if (length < 0) return kSocketError;
    for (;;) {
      // MSG_NOSIGNAL: a closed peer fails the call (EPIPE) instead of
      // raising SIGPIPE, which would end the program. A full buffer fails
      // with EAGAIN, as WSAEWOULDBLOCK on Windows.
      const ssize_t sent = ::send(fd_, bytes, static_cast<std::size_t>(length), MSG_NOSIGNAL);
      if (sent >= 0) return static_cast<int>(sent);
      if (errno != EINTR) return failWithErrno();
    }
  }

  int recv(std::uint8_t* buffer, int length) override {
    if (length < 0) return kSocketError;
    for (;;) {
      const ssize_t got = ::recv(fd_, buffer, static_cast<std::size_t>(length), 0);
      if (got >= 0) return static_cast<int>(got);
      if (errno == EAGAIN || errno == EWOULDBLOCK) return kSocketError;  // nothing waiting yet
      if (errno != EINTR) return failWithErrno();
    }
  }

  void shutdownBoth() override {
    // Ignored, as on Windows: callers have no use for its failure (ENOTCONN
    // for a socket never connected).
    static_cast<void>(::shutdown(fd_, SHUT_RDWR));
  }

  void close() override {
    if (fd_ < 0) return;
    // Ignored: Linux frees the descriptor even when close reports an error.
    static_cast<void>(::close(fd_));
    fd_ = -1;
  }

  const OsError& lastError() const override { return lastError_; }

 private:
  int failWithErrno() {
    lastError_ = OsError{classifyInUseError(errno), errno};
    return kSocketError;
  }

  // The reason a connect failed, read once: getsockopt SO_ERROR gives it
  // and clears it.
  void noteConnectFailure() {
    int code = 0;
    socklen_t size = sizeof code;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &code, &size) != 0 || code == 0) return;
    lastError_ = OsError{classifyConnectError(code), code};
  }

  // Once connected, a socket stays so for these answers: after a reset the
  // peer is gone (getpeername fails) but select still shows it readable.
  bool isConnected() {
    if (connected_) return true;
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    // getpeername fails (ENOTCONN) while the connect is under way and
    // after it failed.
    connected_ = getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &size) == 0;
    return connected_;
  }

  int fd_;
  bool connected_ = false;
  OsError lastError_;
};

// Name resolution and descriptors need no start-up on POSIX; the count only
// keeps the Windows balance visible.
class PosixSockets final : public Sockets {
 public:
  int startup(std::uint16_t /*version*/) override {
    ++started_;
    return 0;
  }

  void cleanup() override {
    if (started_ > 0) --started_;
  }

  bool resolveTcp4(const char* host, const char* port, SocketAddress& first,
                   OsError& error) override {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    // getaddrinfo fails with its own EAI_ codes, not with errno.
    const int result = getaddrinfo(host, port, &hints, &list);
    if (result != 0 || list == nullptr) {
      error = OsError{FailureKind::kNameNotFound, result, ErrorDomain::kResolver};
      return false;
    }
    const bool fits = list->ai_addrlen <= sizeof first.bytes;
    if (fits) {
      first.family = list->ai_family;
      first.type = list->ai_socktype;
      first.protocol = list->ai_protocol;
      first.length = static_cast<std::uint32_t>(list->ai_addrlen);
      std::memcpy(first.bytes, list->ai_addr, list->ai_addrlen);
    }
    freeaddrinfo(list);
    if (!fits) error = OsError{FailureKind::kOther, EAFNOSUPPORT};
    return fits;
  }

  std::unique_ptr<Socket> open(int family, int type, int protocol, OsError& error) override {
    // Not inherited by child programs.
    const int fd = ::socket(family, type | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
      error = OsError{FailureKind::kOther, errno};
      return nullptr;
    }
    return std::make_unique<PosixSocket>(fd);
  }

 private:
  int started_ = 0;
};

}  // namespace

Sockets& systemSockets() {
  static PosixSockets sockets;
  return sockets;
}

}  // namespace scalecheck::platform
