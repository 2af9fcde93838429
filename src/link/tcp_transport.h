#pragma once

#include <cstdint>
#include <memory>

#include "link/link_settings.h"
#include "platform/clock.h"
#include "platform/sockets.h"

namespace scalecheck {

// The link's TCP connection to a scale that listens on an address and port:
// a non-blocking connect watched for about two seconds, kept and reused while
// the address and port stay the same.
class TcpTransport {
 public:
  TcpTransport(platform::Sockets& sockets, platform::Clock& clock);

  // Connects to the host and port of `settings`, or keeps the connection
  // held to that same host and port. Records no LinkError.
  bool open(const LinkSettings& settings);
  // Sends 1..22 bytes; a failed send drops the connection.
  bool writeBytes(const std::uint8_t* bytes, std::int32_t length);
  // As SerialTransport::readReply, with a 300 ms first-byte limit.
  bool readReply(std::uint8_t* buffer, std::int32_t& count);
  // Shuts the connection down in both directions and releases it.
  void close();

  // The connected socket, or null; the stream capture reads it directly.
  platform::Socket* socket() { return socket_.get(); }

 private:
  bool connect(const LinkSettings& settings);
  bool waitConnected(platform::Socket& socket);

  platform::Sockets& sockets_;
  platform::Clock& clock_;
  std::unique_ptr<platform::Socket> socket_;
  char lastHost_[kHostSize] = {};
  std::int32_t lastPort_ = 0;
};

}  // namespace scalecheck
