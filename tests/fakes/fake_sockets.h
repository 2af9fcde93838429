#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fakes/virtual_clock.h"
#include "platform/sockets.h"

namespace scalecheck::testing {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

// What answers at one address and port.
struct FakeServer {
  bool refuses = false;             // the connect fails (shown in the exception set)
  std::uint32_t acceptAfterMs = 0;  // writable this long after connect
  bool unreachable = false;         // connect fails outright (no route to it)
};

// One socket's life, kept by the network so tests can script and examine it.
struct FakeSocketState {
  std::string target;  // "host:port" connected to
  std::uint64_t writableAt = kNever;
  bool refused = false;
  bool nonBlocking = false;
  bool shutDown = false;
  bool closed = false;
  std::string sent;
  bool sendFails = false;
  std::function<void(const std::string& sent)> onSend;
  std::multimap<std::uint64_t, std::uint8_t> arrivals;
  std::deque<std::uint8_t> received;
  std::uint64_t peerClosesAt = kNever;
  int pollAllCalls = 0;

  void arriveAt(std::uint64_t time, const std::string& bytes, std::uint32_t spacingMs = 0);
  void pump(std::uint64_t now);
  bool readable(std::uint64_t now);
};

// A network of scripted servers on a virtual clock, behind the Windows
// Sockets interface: counts startups and cleanups, records every socket.
class FakeNetwork : public platform::Sockets {
 public:
  explicit FakeNetwork(VirtualClock& clock) : clock_(clock) {}

  int startup(std::uint16_t version) override;
  void cleanup() override;
  bool resolveTcp4(const char* host, const char* port, platform::SocketAddress& first,
                   platform::OsError& error) override;
  // The address of `hostAddresses`, else the host text itself.
  bool resolveHost4(const char* host, std::string& address, platform::OsError& error) override;
  std::unique_ptr<platform::Socket> open(int family, int type, int protocol,
                                         platform::OsError& error) override;

  // Servers by "host:port"; an address with none is unreachable (never
  // writable, never refused).
  std::map<std::string, FakeServer> servers;
  std::set<std::string> unresolvable;                // host texts the resolver rejects
  std::map<std::string, std::string> hostAddresses;  // names and the addresses they resolve to
  bool startupFails = false;
  bool socketFails = false;
  bool nonBlockingFails = false;
  std::uint16_t lastVersion = 0;
  int startups = 0;
  int cleanups = 0;
  int resolves = 0;
  std::vector<std::shared_ptr<FakeSocketState>> sockets;
  // Called for each socket as it connects, so a test can script its peer.
  std::function<void(FakeSocketState&)> onConnect;

  VirtualClock& clock() { return clock_; }
  FakeSocketState& last() { return *sockets.back(); }

 private:
  VirtualClock& clock_;
};

class FakeSocket : public platform::Socket {
 public:
  FakeSocket(FakeNetwork& network, std::shared_ptr<FakeSocketState> state)
      : network_(network), state_(std::move(state)) {}
  int setNonBlocking() override;
  int connect(const platform::SocketAddress& address) override;
  int pollAll(platform::Readiness& ready) override;
  int pollReadable() override;
  void waitForInput(std::uint32_t maxMilliseconds) override;
  int bytesWaiting() override;
  int send(const std::uint8_t* bytes, int length) override;
  int recv(std::uint8_t* buffer, int length) override;
  void shutdownBoth() override;
  void close() override;
  const platform::OsError& lastError() const override { return lastError_; }

 private:
  FakeNetwork& network_;
  std::shared_ptr<FakeSocketState> state_;
  platform::OsError lastError_;
};

}  // namespace scalecheck::testing
