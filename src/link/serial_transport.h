#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "link/link_error.h"
#include "link/link_settings.h"
#include "link/reply_collector.h"
#include "platform/clock.h"
#include "platform/serial_port.h"

namespace scalecheck {

constexpr std::size_t kPortNameSize = 16;  // the longest name, port 256's, has 10 characters

// The name CreateFileA opens for a COM number: "com1".."com9", and from 10 on
// the device-namespace form "\\.\com10", without which Windows finds no port
// above 9.
void serialPortName(std::int32_t comNumber, char (&name)[kPortNameSize]);

// The link's RS-232 connection: opens and configures the port, sends a short
// request and waits until it has left the transmitter, and collects a reply
// ended by silence.
class SerialTransport {
 public:
  SerialTransport(platform::SerialPorts& ports, platform::Clock& clock);

  // Opens and configures the port of `settings`. Records LinkError 8 when the
  // port cannot be opened and clears a pending 8 as soon as it opens.
  bool open(const LinkSettings& settings, LinkError& lastError);
  // Sends the bytes and waits for the transmitter-empty event, at most until
  // 256 ms after the write.
  bool writeBytes(const std::uint8_t* bytes, std::int32_t length);
  // Collects one reply: true with 1..21 bytes; false, with nothing written,
  // when no byte arrives.
  bool readReply(std::uint8_t* buffer, std::int32_t& count);
  // Releases the port; a port whose close fails stays held.
  void close();

  // The open port, or null; the stream capture reads it directly.
  platform::SerialPort* port() { return port_.get(); }

 private:
  bool configure(platform::SerialPort& port, const LinkSettings& settings);

  platform::SerialPorts& ports_;
  platform::Clock& clock_;
  std::unique_ptr<platform::SerialPort> port_;
};

}  // namespace scalecheck
