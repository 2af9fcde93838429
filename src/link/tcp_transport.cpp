#include "link/tcp_transport.h"

#include <cstdio>
#include <cstring>

#include "link/reply_collector.h"
#include "platform/deadline.h"

namespace scalecheck {
namespace {

// Connect readiness is polled every 32 ms.
constexpr std::uint32_t kConnectPollMs = 32;
// Network latency replaces line time: 300 ms for the first byte, the same
// 80 ms gap as on the serial line to end a reply.
constexpr std::uint32_t kFirstByteLimitMs = 300;
constexpr std::uint32_t kByteGapMs = 80;
constexpr std::int32_t kSendBufferSize = 22;
// Before listening for unsolicited data the peer is given 128 ms, then the
// socket is watched for up to 152 ms more.
constexpr std::uint32_t kStreamSettleMs = 128;
constexpr std::uint32_t kStreamWatchMs = 152;

}  // namespace

TcpTransport::TcpTransport(platform::Sockets& sockets, platform::Clock& clock)
    : sockets_(sockets), clock_(clock) {}

std::string TcpTransport::peerName(const LinkSettings& settings) {
  const std::string host = settings.host;
  const std::string port = ":" + std::to_string(settings.tcpPort);
  if (settings.hostName.empty() || settings.hostName == host) return host + port;
  return settings.hostName + port + (host.empty() ? "" : " (" + host + ")");
}

bool TcpTransport::open(const LinkSettings& settings, LinkError& lastError) {
  if (socket_) {
    // The held connection is reused untested while the address stays,
    // unless the peer is known to have gone. A held connection was made to
    // the address resolved last.
    if (peerName(settings) == resolvedFor_ && !gone()) {
      return true;
    }
    close();
  }
  bool connected = false;
  if (settings.host[0] == '\0' || settings.tcpPort == 0) {
    noteFailure(platform::OsError{platform::FailureKind::kNameNotFound, 0});
  } else if (sockets_.startup(kWinsockVersion) != 0) {
    noteFailure(platform::OsError{platform::FailureKind::kOther, 0});
  } else if (!(connected = connect(settings))) {
    sockets_.cleanup();  // ends the startup of this failed open
  }
  if (!connected) {
    lastError = LinkError::kTcpConnect;
    return false;
  }
  if (lastError == LinkError::kTcpConnect) lastError = LinkError::kNone;
  noteOpened();
  return true;
}

// A host name is resolved once for the link: getaddrinfo waits on the
// network's name servers as long as they take, which no bound of ours can
// cut short, and a peer that is reconnected to every poll must not pay it
// every time. A dotted address needs no name server at all.
bool TcpTransport::resolve(const LinkSettings& settings) {
  const std::string target = peerName(settings);
  if (target == resolvedFor_) return true;
  char portText[16];  // any 32-bit value fits
  std::snprintf(portText, sizeof portText, "%d", static_cast<int>(settings.tcpPort));
  platform::OsError error;
  if (!sockets_.resolveTcp4(settings.host, portText, address_, error)) {
    noteFailure(error);
    resolvedFor_.clear();
    return false;
  }
  resolvedFor_ = target;
  return true;
}

bool TcpTransport::connect(const LinkSettings& settings) {
  if (!resolve(settings)) return false;
  const platform::SocketAddress& address = address_;
  platform::OsError error;
  std::unique_ptr<platform::Socket> socket =
      sockets_.open(address.family, address.type, address.protocol, error);
  if (!socket) {
    noteFailure(error);
    return false;
  }
  if (socket->setNonBlocking() != 0) {
    noteFailure(socket->lastError());
    socket->close();
    return false;
  }
  // Normally "under way"; a connect that failed outright is not waited for.
  if (socket->connect(address) != 0 && socket->lastError().failed()) {
    noteFailure(socket->lastError());
    socket->close();
    return false;
  }
  if (!waitConnected(*socket)) {
    socket->close();
    return false;
  }
  socket_ = std::move(socket);
  return true;
}

// Only writability means connected. A socket in the exception set alone
// is a connect the system has failed (refused, no route): that is final,
// so it is reported at once rather than when the window has passed.
bool TcpTransport::waitConnected(platform::Socket& socket) {
  const platform::Deadline window(clock_, kConnectWindowMs);
  platform::StepSchedule polls(clock_, kConnectPollMs);
  for (;;) {
    polls.sleepToNextStep();
    if (window.passed()) break;
    platform::Readiness ready;
    if (socket.pollAll(ready) == platform::kSocketError) continue;
    if (ready.writable) return true;
    if (ready.exceptional) {
      const platform::OsError& seen = socket.lastError();
      noteFailure(seen.failed() ? seen : platform::OsError{platform::FailureKind::kOther, 0});
      return false;
    }
  }
  noteFailure(platform::OsError{platform::FailureKind::kTimedOut, 0});
  return false;
}

void TcpTransport::dropConnection() {
  socket_->close();
  socket_.reset();
  sockets_.cleanup();
}

bool TcpTransport::writeBytes(const std::uint8_t* bytes, std::int32_t length) {
  if (!socket_ || length < 1 || length > kSendBufferSize) return false;
  if (gone()) {
    // A peer known to have closed cannot take it: dropped as after a
    // failed send.
    dropConnection();
    return false;
  }
  std::uint8_t request[kSendBufferSize];
  std::memcpy(request, bytes, static_cast<std::size_t>(length));
  const int sent = socket_->send(request, length);
  if (sent != platform::kSocketError) {
    noteSent(request, static_cast<std::size_t>(sent));
    return true;
  }
  noteFailure(socket_->lastError());
  dropConnection();
  return false;
}

bool TcpTransport::readReply(std::uint8_t* buffer, std::int32_t& count) {
  if (!socket_ || gone()) return false;
  ReplyCollector reply(clock_, kFirstByteLimitMs, kByteGapMs);
  for (;;) {
    socket_->waitForInput(reply.waitBound());
    if (socket_->pollReadable() <= 0) {
      if (reply.silenceEnded()) break;
      continue;
    }
    // A peer that closed, or a failed receive, ends the reply.
    std::uint8_t byte = 0;
    if (receiveOne(byte) != ByteResult::kByte || !reply.take(byte)) break;
  }
  return reply.handBack(buffer, count);
}

bool TcpTransport::waitForStream(bool /*keepListening*/, StreamStart& start) {
  if (!socket_ || gone()) return false;
  // Nothing has come since the last read, a poll period or more ago.
  start.quiet = socket_->bytesWaiting() <= 0;
  clock_.sleep(kStreamSettleMs);
  const platform::Deadline watch(clock_, kStreamWatchMs);
  socket_->waitForInput(kStreamWatchMs);
  while (socket_->pollReadable() <= 0) {
    if (watch.passed()) return true;
    socket_->waitForInput(watch.remaining());
  }
  // A slow stream leaves fewer than a stretch's bytes between polls, as old
  // as the pause: they are dropped as a larger backlog is.
  start.discarded = discardWaiting(start.quiet ? static_cast<int>(kStreamCaptureBytes) : 0);
  return true;
}

// Bytes a streaming peer sent while nobody listened are stale, as on the
// serial line: more than one stretch's worth is read and dropped, so the
// frame is cut from what arrives now. (Without this, a peer streaming
// about a kilobyte a second between polls would be shown further behind
// with every poll.)
bool TcpTransport::discardWaiting(int keep) {
  int stale = socket_->bytesWaiting();
  if (stale <= keep) return false;
  std::uint8_t scratch[256];
  while (stale > 0) {
    const int chunk =
        stale < static_cast<int>(sizeof scratch) ? stale : static_cast<int>(sizeof scratch);
    const int got = socket_->recv(scratch, chunk);
    if (got <= 0) break;
    noteReceived(scratch, static_cast<std::size_t>(got));
    stale -= got;
  }
  return true;
}

ByteResult TcpTransport::takeByte(std::uint8_t& byte) {
  if (!socket_ || gone()) return ByteResult::kFailed;
  if (socket_->pollReadable() == 0) return ByteResult::kNone;
  return receiveOne(byte);
}

ByteResult TcpTransport::receiveOne(std::uint8_t& byte) {
  const int got = socket_->recv(&byte, 1);
  if (got == 1) {
    noteReceived(&byte, 1);
    return ByteResult::kByte;
  }
  // recv gives 0 once the peer has closed: it is gone, not quiet.
  if (got == 0) noteGone(platform::OsError{platform::FailureKind::kGone, 0});
  if (got < 0) noteFailure(socket_->lastError());
  return ByteResult::kEnd;
}

void TcpTransport::waitForInput(std::uint32_t boundMs) {
  if (socket_) socket_->waitForInput(boundMs);
}

std::uint32_t TcpTransport::combinedReplyDelayMs() const {
  return kFrameDelayMs;
}

void TcpTransport::close() {
  if (!socket_) return;
  socket_->shutdownBoth();
  dropConnection();
}

}  // namespace scalecheck
