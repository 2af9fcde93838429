#include "link/tcp_transport.h"

#include <cstdio>
#include <cstring>

#include "link/bounded_text.h"
#include "link/reply_collector.h"

namespace scalecheck {
namespace {

constexpr std::uint16_t kWinsockVersion = 0x0202;  // Windows Sockets 2.2
// A scale on the local network accepts within milliseconds; two seconds
// also covers a slow routed link. Readiness is polled every 32 ms.
constexpr std::uint32_t kConnectWindowMs = 2048;
constexpr std::uint32_t kConnectPollMs = 32;
// Network latency replaces line time: 300 ms for the first byte, the same
// 80 ms gap as on the serial line to end a reply.
constexpr std::uint32_t kFirstByteLimitMs = 300;
constexpr std::uint32_t kByteGapMs = 80;
constexpr std::int32_t kSendBufferSize = 22;

}  // namespace

TcpTransport::TcpTransport(platform::Sockets& sockets, platform::Clock& clock)
    : sockets_(sockets), clock_(clock) {}

bool TcpTransport::open(const LinkSettings& settings) {
  if (socket_) {
    // The held connection is reused untested while the address stays.
    if (std::strcmp(settings.host, lastHost_) == 0 && settings.tcpPort == lastPort_) return true;
    close();
  }
  if (settings.host[0] == '\0' || settings.tcpPort == 0) return false;
  if (sockets_.startup(kWinsockVersion) != 0) return false;
  if (connect(settings)) return true;
  sockets_.cleanup();  // ends the startup of this failed open
  return false;
}

bool TcpTransport::connect(const LinkSettings& settings) {
  char portText[16];  // any 32-bit value fits
  std::snprintf(portText, sizeof portText, "%d", static_cast<int>(settings.tcpPort));
  platform::SocketAddress address;
  if (!sockets_.resolveTcp4(settings.host, portText, address)) return false;
  std::unique_ptr<platform::Socket> socket =
      sockets_.open(address.family, address.type, address.protocol);
  if (!socket) return false;
  if (socket->setNonBlocking() != 0) {
    socket->close();
    return false;
  }
  socket->connect(address);  // normally "under way"; its result is not examined
  if (!waitConnected(*socket)) {
    socket->close();
    return false;
  }
  socket_ = std::move(socket);
  copyBounded(lastHost_, settings.host);
  lastPort_ = settings.tcpPort;
  return true;
}

bool TcpTransport::waitConnected(platform::Socket& socket) {
  const std::uint32_t start = clock_.tickCount();
  for (;;) {
    clock_.sleep(kConnectPollMs);
    if (platform::ticksSince(start, clock_.tickCount()) >= kConnectWindowMs) return false;
    platform::Readiness ready;
    // Only writability means connected; a refusal shows in the exception
    // set and is left to the window, as Windows Sockets reports it.
    if (socket.pollAll(ready) != platform::kSocketError && ready.writable) return true;
  }
}

bool TcpTransport::writeBytes(const std::uint8_t* bytes, std::int32_t length) {
  if (!socket_ || length < 1 || length > kSendBufferSize) return false;
  std::uint8_t request[kSendBufferSize];
  std::memcpy(request, bytes, static_cast<std::size_t>(length));
  if (socket_->send(request, length) != platform::kSocketError) return true;
  socket_->close();
  socket_.reset();
  sockets_.cleanup();
  return false;
}

bool TcpTransport::readReply(std::uint8_t* buffer, std::int32_t& count) {
  if (!socket_) return false;
  ReplyCollector reply(clock_, kFirstByteLimitMs, kByteGapMs);
  for (;;) {
    socket_->waitForInput(reply.waitBound());
    if (socket_->pollReadable() <= 0) {
      if (reply.silenceEnded()) break;
      continue;
    }
    // A peer that closed, or a failed receive, ends the reply.
    std::uint8_t byte = 0;
    if (socket_->recv(&byte, 1) <= 0 || !reply.take(byte)) break;
  }
  return reply.handBack(buffer, count);
}

void TcpTransport::close() {
  if (!socket_) return;
  socket_->shutdownBoth();
  socket_->close();
  socket_.reset();
  sockets_.cleanup();
}

}  // namespace scalecheck
