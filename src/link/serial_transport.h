#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "link/link_error.h"
#include "link/link_settings.h"
#include "link/reply_collector.h"
#include "link/transport.h"
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
class SerialTransport final : public Transport {
 public:
  SerialTransport(platform::SerialPorts& ports, platform::Clock& clock);

  // Opens and configures the port of `settings`. Records LinkError 8 when the
  // port cannot be opened and clears a pending 8 as soon as it opens;
  // records 2 when the port refuses its settings (8 when the device vanished
  // meanwhile), and clears a pending 2 once they are in force.
  bool open(const LinkSettings& settings, LinkError& lastError) override;
  // Releases the port; a port whose close fails stays held, unless it has
  // gone, when there is nothing left to hold.
  void close() override;
  bool isOpen() const override { return port_ != nullptr; }
  // Sends the bytes and waits for the transmitter-empty event, at most until
  // 256 ms after the write.
  bool writeBytes(const std::uint8_t* bytes, std::int32_t length) override;
  bool readReply(std::uint8_t* buffer, std::int32_t& count) override;
  // Watches the receive queue for 200 ms. A queue fuller than one stretch,
  // or one that held bytes before the watch began, is discarded, so that
  // only fresh bytes are read.
  bool waitForStream(bool keepListening, StreamStart& start) override;
  ByteResult takeByte(std::uint8_t& byte) override;
  void waitForInput(std::uint32_t boundMs) override;
  // Over RS-232 the reply's own first-byte wait is the only wait.
  std::uint32_t combinedReplyDelayMs() const override { return 0; }

  // The device `settings` name: a path, or "com3" on Windows; once opened,
  // the device opened.
  std::string target(const LinkSettings& settings) const override;
  LineErrorCounts takeLineErrors() override;
  // The settings steps of open on the port held: state, time-outs, purge.
  // The line errors counted so far belong to the settings before.
  bool applyLineSettings(const LinkSettings& settings) override;
  // The open port, or null: for tests that drive the port beneath.
  platform::SerialPort* port() { return port_.get(); }

 private:
  bool configure(platform::SerialPort& port, const LinkSettings& settings);
  bool queryStatus(platform::CommStatus& status);
  bool failed(const platform::OsError& error);
  bool discardWaiting(StreamStart& start);

  platform::SerialPorts& ports_;
  platform::Clock& clock_;
  std::unique_ptr<platform::SerialPort> port_;
  LineErrorCounts lineErrors_;
  // The device the port's name led to at the first open. Every later open
  // (the device came back after it went away) opens that one again: a COM
  // mapping that is missing for a while must not lead to another device.
  std::string device_;
};

}  // namespace scalecheck
