#include "link/serial_transport.h"

#include <cstdio>
#include <cstring>

#include "link/bounded_text.h"

namespace scalecheck {
namespace {

using platform::CommState;
using platform::CommStatus;
using platform::CommTimeouts;
namespace dcb = platform::dcb;

// The DCB members open() changes, as bits of the flags word: flow control
// and DSR sensitivity off, DTR and RTS held on, binary mode.
constexpr std::uint32_t kFlagsCleared = dcb::kOutxCtsFlow | dcb::kOutxDsrFlow |
                                        dcb::kDtrControlMask | dcb::kDsrSensitivity | dcb::kOutX |
                                        dcb::kInX | dcb::kRtsControlMask;
constexpr std::uint32_t kFlagsSet = dcb::kBinary | dcb::kDtrControlEnable | dcb::kRtsControlEnable;
static_assert((kFlagsCleared & ~kFlagsSet) == 0x236C, "DCB bits cleared");
static_assert(kFlagsSet == 0x1011, "DCB bits set");

// A request of a byte or two leaves a 9600 baud line in about 2 ms; a
// transmitter that has not emptied 256 ms after the write is stuck.
constexpr std::uint32_t kTransmitLimitMs = 256;
// A scale answers within 350 ms or not at all; once it has begun, a pause of
// 80 ms (some 75 character times at 9600 baud) means the reply is complete.
constexpr std::uint32_t kFirstByteLimitMs = 350;
constexpr std::uint32_t kByteGapMs = 80;

}  // namespace

void serialPortName(std::int32_t comNumber, char (&name)[kPortNameSize]) {
  char number[8];  // the COM number as decimal text, at most 7 digits
  std::snprintf(number, sizeof number, "%d", static_cast<int>(comNumber));
  copyBounded(name, comNumber >= 10 ? "\\\\.\\com" : "com");
  appendBounded(name, number);
}

SerialTransport::SerialTransport(platform::SerialPorts& ports, platform::Clock& clock)
    : ports_(ports), clock_(clock) {}

bool SerialTransport::open(const LinkSettings& settings, LinkError& lastError) {
  if (port_) return true;  // opened already; the settings cannot have changed
  char name[kPortNameSize];
  serialPortName(settings.comNumber, name);
  std::unique_ptr<platform::SerialPort> port = ports_.open(name);
  if (!port) {
    lastError = LinkError::kSerialOpen;
    return false;
  }
  if (lastError == LinkError::kSerialOpen) lastError = LinkError::kNone;
  if (!configure(*port, settings)) {
    port->close();
    return false;
  }
  port_ = std::move(port);
  return true;
}

bool SerialTransport::configure(platform::SerialPort& port, const LinkSettings& settings) {
  CommState state{};
  state.length = sizeof(CommState);
  if (!port.getState(state)) return false;
  state.baudRate = static_cast<std::uint32_t>(settings.baudRate);
  state.byteSize = settings.dataBits;
  state.parity = settings.parity;
  state.stopBits = settings.stopBits;
  state.flags = (state.flags & ~kFlagsCleared) | kFlagsSet;
  if (!port.setState(state)) return false;

  CommTimeouts timeouts{};
  if (!port.getTimeouts(timeouts)) return false;
  timeouts = CommTimeouts{};  // no driver time-outs: every limit is our own
  if (!port.setTimeouts(timeouts)) return false;

  return port.purge(platform::kPurgeTxClear | platform::kPurgeRxClear);
}

bool SerialTransport::writeBytes(const std::uint8_t* bytes, std::int32_t length) {
  if (!port_ || length < 1) return false;
  if (!port_->setEventMask(platform::kEventTxEmpty)) return false;
  const auto size = static_cast<std::uint32_t>(length);
  std::uint32_t written = 0;
  if (!port_->write(bytes, size, written) || written != size) return false;

  const std::uint32_t start = clock_.tickCount();
  std::uint32_t events = 0;
  clock_.sleep(0);
  if (!port_->waitEvent(events)) return false;
  // The bound is checked only after a wait has returned: each wait lasts
  // until the driver reports an event.
  while ((events & platform::kEventTxEmpty) == 0) {
    if (platform::ticksSince(start, clock_.tickCount()) >= kTransmitLimitMs) return false;
    clock_.sleep(0);
    if (!port_->waitEvent(events)) return false;
  }
  return true;
}

bool SerialTransport::readReply(std::uint8_t* buffer, std::int32_t& count) {
  if (!port_) return false;
  if (!port_->setEventMask(platform::kEventRxChar)) return false;
  // Before the first byte the limit is strict (350 ms of silence still
  // waits); the gap after a byte is not (80 ms ends the reply).
  ReplyCollector reply(clock_, kFirstByteLimitMs + 1, kByteGapMs);
  for (;;) {
    port_->waitForInput(reply.waitBound());
    std::uint32_t errors = 0;  // line errors are reset and ignored: bytes count as received
    CommStatus status;
    if (!port_->clearError(errors, status)) break;
    if (status.inQueue == 0) {
      if (reply.silenceEnded()) break;
      continue;
    }
    std::uint8_t byte = 0;
    std::uint32_t got = 0;
    if (!port_->read(&byte, 1, got) || got != 1 || !reply.take(byte)) break;
  }
  return reply.handBack(buffer, count);
}

void SerialTransport::close() {
  if (port_ && port_->close()) port_.reset();
}

}  // namespace scalecheck
