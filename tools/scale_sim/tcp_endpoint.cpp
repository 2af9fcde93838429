#include "tcp_endpoint.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>

#include "serial_line.h"

// POSIX calls return -1 and set errno on failure unless said otherwise.

namespace scalecheck::sim {
namespace {

constexpr int kListenBacklog = 4;

// "HOST:PORT", with an IPv6 host in brackets.
std::string numericAddress(const sockaddr* address, socklen_t length) {
  char host[NI_MAXHOST];
  char port[NI_MAXSERV];
  if (getnameinfo(address, length, host, sizeof host, port, sizeof port,
                  NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
    return "?";
  }
  const bool ipv6 = address->sa_family == AF_INET6;
  return (ipv6 ? "[" + std::string(host) + "]" : std::string(host)) + ":" + port;
}

harness::Fd listenOn(const addrinfo& entry, std::string& error) {
  harness::Fd socket(::socket(entry.ai_family, entry.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                              entry.ai_protocol));
  if (!socket.valid()) {
    error = systemError("creating a socket");
    return harness::Fd();
  }
  const int yes = 1;
  // SO_REUSEADDR lets a restarted simulator take its port back at once.
  if (setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
      bind(socket.get(), entry.ai_addr, entry.ai_addrlen) != 0 ||
      listen(socket.get(), kListenBacklog) != 0) {
    error = systemError("listening on " + numericAddress(entry.ai_addr, entry.ai_addrlen));
    return harness::Fd();
  }
  return socket;
}

}  // namespace

std::unique_ptr<TcpEndpoint> TcpEndpoint::open(const std::string& host, std::uint16_t port,
                                               std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  // getaddrinfo fails with its own EAI_* codes, not with errno.
  const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (resolved != 0) {
    error = "cannot resolve " + host + ": " + gai_strerror(resolved);
    return nullptr;
  }
  harness::Fd listener;
  // IPv4 first: "localhost" often resolves to ::1 first, and the checker
  // connects over IPv4 only.
  for (const bool ipv4Pass : {true, false}) {
    for (const addrinfo* entry = found; entry != nullptr && !listener.valid();
         entry = entry->ai_next) {
      if ((entry->ai_family == AF_INET) == ipv4Pass) listener = listenOn(*entry, error);
    }
  }
  freeaddrinfo(found);
  if (!listener.valid()) return nullptr;
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  // The port that port 0 picked.
  if (getsockname(listener.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    error = systemError("reading the listening address");
    return nullptr;
  }
  const std::string address = numericAddress(reinterpret_cast<sockaddr*>(&bound), length);
  return std::unique_ptr<TcpEndpoint>(new TcpEndpoint(std::move(listener), address));
}

TcpEndpoint::TcpEndpoint(harness::Fd listener, std::string address)
    : listener_(std::move(listener)), address_(std::move(address)) {}

int TcpEndpoint::pollDescriptor() const {
  return client_.valid() ? client_.get() : listener_.get();
}

ReadOutcome TcpEndpoint::accept(std::string& note) {
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  // EAGAIN: the client gave up before it was taken.
  harness::Fd client(accept4(listener_.get(), reinterpret_cast<sockaddr*>(&peer), &length,
                             SOCK_NONBLOCK | SOCK_CLOEXEC));
  if (!client.valid()) return ReadOutcome::kNothing;
  const int yes = 1;
  // Without TCP_NODELAY the bytes paced one by one would be held back and
  // sent in lumps; a failure only costs that.
  static_cast<void>(setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes));
  client_ = std::move(client);
  note = "client " + numericAddress(reinterpret_cast<sockaddr*>(&peer), length) + " connected";
  return ReadOutcome::kPeerChanged;
}

ReadOutcome TcpEndpoint::read(std::string& bytes, std::string& note) {
  if (!client_.valid()) return accept(note);
  ReadOutcome outcome = ReadOutcome::kNothing;
  if (readOpenDescriptor(client_.get(), bytes, outcome)) return outcome;
  client_.reset();
  note = "client left";
  return ReadOutcome::kPeerChanged;
}

void TcpEndpoint::write(std::string_view bytes) {
  if (!client_.valid()) return;
  // MSG_NOSIGNAL: a client that has gone must not kill us with SIGPIPE; the
  // next read notices it left.
  const ssize_t sent = send(client_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
  static_cast<void>(sent);
}

}  // namespace scalecheck::sim
