#include "fakes/fake_sockets.h"

#include <algorithm>
#include <cstring>

namespace scalecheck::testing {

void FakeSocketState::arriveAt(std::uint64_t time, const std::string& bytes,
                               std::uint32_t spacingMs) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    arrivals.emplace(time + i * spacingMs, static_cast<std::uint8_t>(bytes[i]));
  }
}

void FakeSocketState::pump(std::uint64_t now) {
  auto end = arrivals.upper_bound(now);
  for (auto it = arrivals.begin(); it != end; ++it) received.push_back(it->second);
  arrivals.erase(arrivals.begin(), end);
}

bool FakeSocketState::readable(std::uint64_t now) {
  pump(now);
  return !received.empty() || now >= peerClosesAt;
}

int FakeNetwork::startup(std::uint16_t version) {
  lastVersion = version;
  if (startupFails) return 10091;  // WSASYSNOTREADY
  ++startups;
  return 0;
}

void FakeNetwork::cleanup() {
  ++cleanups;
}

bool FakeNetwork::resolveTcp4(const char* host, const char* port, platform::SocketAddress& first,
                              platform::OsError& error) {
  ++resolves;
  if (unresolvable.count(host) != 0) {
    error = platform::OsError{platform::FailureKind::kNameNotFound, -2,
                              platform::ErrorDomain::kResolver};
    return false;
  }
  const std::string target = std::string(host) + ":" + port;
  first = platform::SocketAddress{};
  first.family = 2;    // AF_INET
  first.type = 1;      // SOCK_STREAM
  first.protocol = 6;  // IPPROTO_TCP
  first.length = static_cast<std::uint32_t>(std::min(target.size(), sizeof first.bytes));
  std::memcpy(first.bytes, target.data(), first.length);
  return true;
}

bool FakeNetwork::resolveHost4(const char* host, std::string& address, platform::OsError& error) {
  platform::SocketAddress first;
  if (!resolveTcp4(host, "0", first, error)) return false;
  const auto known = hostAddresses.find(host);
  address = known != hostAddresses.end() ? known->second : host;
  return true;
}

std::unique_ptr<platform::Socket> FakeNetwork::open(int family, int type, int protocol,
                                                    platform::OsError& error) {
  if (socketFails || family != 2 || type != 1 || protocol != 6) {
    error = platform::OsError{platform::FailureKind::kOther, 24};  // EMFILE
    return nullptr;
  }
  sockets.push_back(std::make_shared<FakeSocketState>());
  return std::make_unique<FakeSocket>(*this, sockets.back());
}

int FakeSocket::setNonBlocking() {
  if (network_.nonBlockingFails) return platform::kSocketError;
  state_->nonBlocking = true;
  return 0;
}

int FakeSocket::connect(const platform::SocketAddress& address) {
  state_->target.assign(reinterpret_cast<const char*>(address.bytes), address.length);
  auto server = network_.servers.find(state_->target);
  if (server != network_.servers.end() && server->second.unreachable) {
    lastError_ = platform::OsError{platform::FailureKind::kOther, 101};  // ENETUNREACH
    return platform::kSocketError;
  }
  if (server != network_.servers.end()) {
    state_->refused = server->second.refuses;
    if (!state_->refused)
      state_->writableAt = network_.clock().now() + server->second.acceptAfterMs;
  }
  if (network_.onConnect) network_.onConnect(*state_);
  return platform::kSocketError;  // non-blocking: the connection is under way
}

int FakeSocket::pollAll(platform::Readiness& ready) {
  ++state_->pollAllCalls;
  const std::uint64_t now = network_.clock().now();
  ready.writable = now >= state_->writableAt;
  ready.exceptional = state_->refused;
  if (state_->refused) lastError_ = platform::OsError{platform::FailureKind::kRefused, 111};
  ready.readable = ready.writable && state_->readable(now);
  return int{ready.readable} + int{ready.writable} + int{ready.exceptional};
}

int FakeSocket::pollReadable() {
  return state_->readable(network_.clock().now()) ? 1 : 0;
}

void FakeSocket::waitForInput(std::uint32_t maxMilliseconds) {
  VirtualClock& clock = network_.clock();
  if (state_->readable(clock.now())) return;
  std::uint64_t until = clock.now() + maxMilliseconds;
  if (!state_->arrivals.empty()) until = std::min(until, state_->arrivals.begin()->first);
  until = std::min(until, state_->peerClosesAt);
  clock.advanceTo(until);
}

int FakeSocket::bytesWaiting() {
  state_->pump(network_.clock().now());
  return static_cast<int>(state_->received.size());
}

int FakeSocket::send(const std::uint8_t* bytes, int length) {
  if (state_->sendFails || state_->closed) {
    lastError_ = platform::OsError{platform::FailureKind::kGone, 32};  // EPIPE
    return platform::kSocketError;
  }
  const std::string sent(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
  state_->sent += sent;
  if (state_->onSend) state_->onSend(sent);
  return length;
}

int FakeSocket::recv(std::uint8_t* buffer, int length) {
  const std::uint64_t now = network_.clock().now();
  state_->pump(now);
  if (state_->received.empty()) return now >= state_->peerClosesAt ? 0 : platform::kSocketError;
  int count = 0;
  while (count < length && !state_->received.empty()) {
    buffer[count++] = state_->received.front();
    state_->received.pop_front();
  }
  return count;
}

void FakeSocket::shutdownBoth() {
  state_->shutDown = true;
}

void FakeSocket::close() {
  state_->closed = true;
}

}  // namespace scalecheck::testing
