#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/link_settings.h"
#include "link/transport.h"
#include "platform/clock.h"
#include "platform/sockets.h"

namespace scalecheck {

// The link's TCP connection to a scale that listens on an address and port:
// a non-blocking connect watched for about two seconds, kept and reused while
// the address and port stay the same.
class TcpTransport final : public Transport {
 public:
  // A scale on the local network accepts within milliseconds; two seconds
  // also cover a slow routed link.
  static constexpr std::uint32_t kConnectWindowMs = 2048;
  static constexpr std::uint16_t kWinsockVersion = 0x0202;  // Windows Sockets 2.2

  TcpTransport(platform::Sockets& sockets, platform::Clock& clock);

  // Connects to the host and port of `settings`, or keeps the connection
  // held to that same host and port. Records LinkError 9 when no
  // connection comes about, and clears a pending 9 once one does.
  bool open(const LinkSettings& settings, LinkError& lastError) override;
  // Shuts the connection down in both directions and releases it.
  void close() override;
  bool isOpen() const override { return socket_ != nullptr; }
  // Sends 1..22 bytes; a failed send drops the connection.
  bool writeBytes(const std::uint8_t* bytes, std::int32_t length) override;
  // As over RS-232, with a 300 ms first-byte limit.
  bool readReply(std::uint8_t* buffer, std::int32_t& count) override;
  // Gives the peer 128 ms, then watches for data for up to 152 ms more;
  // never fails while connected. A backlog larger than one stretch, or one
  // that waited before the wait began, is read and dropped.
  bool waitForStream(bool keepListening, StreamStart& start) override;
  ByteResult takeByte(std::uint8_t& byte) override;
  void waitForInput(std::uint32_t boundMs) override;
  std::uint32_t combinedReplyDelayMs() const override;
  std::string target(const LinkSettings& settings) const override { return peerName(settings); }
  bool reachesNetworkPeer() const override { return true; }

  // "host:port" of `settings`, for messages; with a host name looked up
  // beforehand "name:port (address)".
  static std::string peerName(const LinkSettings& settings);

 private:
  bool resolve(const LinkSettings& settings);
  bool connect(const LinkSettings& settings);
  bool waitConnected(platform::Socket& socket);
  void dropConnection();
  // Reads and drops what waits when it is more than `keep` bytes; true when
  // it did.
  bool discardWaiting(int keep);
  // One recv of one byte from a socket reported readable.
  ByteResult receiveOne(std::uint8_t& byte);

  platform::Sockets& sockets_;
  platform::Clock& clock_;
  std::unique_ptr<platform::Socket> socket_;
  platform::SocketAddress address_;  // of `resolvedFor_` ("host:port"), resolved once
  std::string resolvedFor_;
};

}  // namespace scalecheck
