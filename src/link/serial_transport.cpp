#include "link/serial_transport.h"

#include <cstdio>
#include <cstring>

#include "link/bounded_text.h"
#include "platform/deadline.h"

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
// transmitter that has not emptied 256 ms after the write is stuck. The
// same bound limits a write whose driver queue stays full.
constexpr std::uint32_t kTransmitLimitMs = 256;
// A scale answers within 350 ms or not at all (the limit is strict: 350 ms
// of silence still waits); once it has begun, a pause of 80 ms (some 75
// character times at 9600 baud) means the reply is complete.
constexpr std::uint32_t kFirstByteLimitMs = 350 + 1;
constexpr std::uint32_t kByteGapMs = 80;
// A streaming scale sends several frames a second: 200 ms of a quiet line
// means it does not stream. The queue is looked at every 8 ms.
constexpr std::uint32_t kQuietLineMs = 200;
constexpr std::uint32_t kQuietCheckMs = 8;

}  // namespace

void serialPortName(std::int32_t comNumber, char (&name)[kPortNameSize]) {
  char number[8];  // the COM number as decimal text, at most 7 digits
  std::snprintf(number, sizeof number, "%d", static_cast<int>(comNumber));
  copyBounded(name, comNumber >= 10 ? "\\\\.\\com" : "com");
  appendBounded(name, number);
}

namespace {

// A device path, where the operator gave one, names the port itself; else
// the COM number does.
std::string portNameOf(const LinkSettings& settings) {
  if (!settings.devicePath.empty()) return settings.devicePath;
  char name[kPortNameSize];
  serialPortName(settings.comNumber, name);
  return name;
}

}  // namespace

SerialTransport::SerialTransport(platform::SerialPorts& ports, platform::Clock& clock)
    : ports_(ports), clock_(clock) {}

std::string SerialTransport::target(const LinkSettings& settings) const {
  return device_.empty() ? ports_.deviceFor(portNameOf(settings).c_str()) : device_;
}

bool SerialTransport::open(const LinkSettings& settings, LinkError& lastError) {
  if (port_) return true;  // opened already; the settings cannot have changed
  if (device_.empty()) device_ = target(settings);
  platform::OsError error;
  std::unique_ptr<platform::SerialPort> port = ports_.open(device_.c_str(), error);
  if (!port) {
    noteFailure(error);
    lastError = LinkError::kSerialOpen;
    return false;
  }
  if (lastError == LinkError::kSerialOpen) lastError = LinkError::kNone;
  if (!configure(*port, settings)) {
    noteFailure(port->lastError());
    // A device that went away while it was being set up is a port that
    // cannot be opened, not settings it refused.
    const bool vanished = port->lastError().kind == platform::FailureKind::kGone;
    port->close();
    lastError = vanished ? LinkError::kSerialOpen : LinkError::kChannelSettings;
    return false;
  }
  if (lastError == LinkError::kChannelSettings) lastError = LinkError::kNone;
  port_ = std::move(port);
  noteOpened();
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

bool SerialTransport::applyLineSettings(const LinkSettings& settings) {
  if (!port_ || gone()) return false;
  if (!configure(*port_, settings)) return failed(port_->lastError());
  // Errors the driver noticed in bytes taken at the settings before are
  // reset by one status query and forgotten.
  CommStatus status;
  if (!queryStatus(status)) return false;
  lineErrors_ = LineErrorCounts{};
  return true;
}

bool SerialTransport::failed(const platform::OsError& error) {
  noteFailure(error);
  return false;
}

bool SerialTransport::writeBytes(const std::uint8_t* bytes, std::int32_t length) {
  if (!port_ || gone() || length < 1) return false;
  if (!port_->setEventMask(platform::kEventTxEmpty)) return failed(port_->lastError());
  const auto size = static_cast<std::uint32_t>(length);
  std::uint32_t written = 0;
  const bool taken = port_->write(bytes, size, written, kTransmitLimitMs);
  noteSent(bytes, written);
  if (!taken) return failed(port_->lastError());
  if (written != size) return false;

  const platform::Deadline transmitted(clock_, kTransmitLimitMs);
  std::uint32_t events = 0;
  clock_.sleep(0);
  if (!port_->waitEvent(events, transmitted.remaining())) return failed(port_->lastError());
  // The bound is checked only after a wait has returned: each wait lasts
  // until the driver reports an event (or, where it can, until the bound).
  while ((events & platform::kEventTxEmpty) == 0) {
    if (transmitted.passed()) return false;
    clock_.sleep(0);
    if (!port_->waitEvent(events, transmitted.remaining())) return failed(port_->lastError());
  }
  return true;
}

// A port whose status cannot be queried is of no more use, whatever the
// OS says: it is opened anew before the next poll. The line errors the
// query resets are only counted: the bytes count as received.
bool SerialTransport::queryStatus(CommStatus& status) {
  std::uint32_t errors = 0;
  if (!port_->clearError(errors, status)) {
    noteGone(port_->lastError());
    return false;
  }
  lineErrors_.overrun += (errors & platform::kCommErrorOverrun) != 0 ? 1 : 0;
  lineErrors_.parity += (errors & platform::kCommErrorParity) != 0 ? 1 : 0;
  lineErrors_.frame += (errors & platform::kCommErrorFrame) != 0 ? 1 : 0;
  lineErrors_.breaks += (errors & platform::kCommErrorBreak) != 0 ? 1 : 0;
  return true;
}

LineErrorCounts SerialTransport::takeLineErrors() {
  const LineErrorCounts taken = lineErrors_;
  lineErrors_ = LineErrorCounts{};
  return taken;
}

bool SerialTransport::readReply(std::uint8_t* buffer, std::int32_t& count) {
  if (!port_ || gone()) return false;
  if (!port_->setEventMask(platform::kEventRxChar)) return failed(port_->lastError());
  ReplyCollector reply(clock_, kFirstByteLimitMs, kByteGapMs);
  for (;;) {
    port_->waitForInput(reply.waitBound());
    CommStatus status;
    if (!queryStatus(status)) break;
    if (status.inQueue == 0) {
      if (reply.silenceEnded()) break;
      continue;
    }
    std::uint8_t byte = 0;
    std::uint32_t got = 0;
    if (!port_->read(&byte, 1, got)) {
      noteFailure(port_->lastError());
      break;
    }
    // A byte reported but not delivered (another reader took it) ends the
    // reply, as a failed read does.
    if (got != 1) break;
    noteReceived(&byte, 1);
    if (!reply.take(byte)) break;
  }
  return reply.handBack(buffer, count);
}

bool SerialTransport::waitForStream(bool keepListening, StreamStart& start) {
  if (!port_ || gone()) return false;
  CommStatus status;
  if (!port_->setEventMask(platform::kEventRxChar)) return failed(port_->lastError());
  if (!queryStatus(status)) return false;
  // Nothing has come since the last read, a poll period or more ago.
  start.quiet = status.inQueue == 0;
  const platform::Deadline quiet(clock_, kQuietLineMs);
  platform::StepSchedule checks(clock_, kQuietCheckMs);
  checks.sleepToNextStep();
  if (!queryStatus(status)) return false;
  while (status.inQueue == 0) {
    if (quiet.passed()) return keepListening;
    checks.sleepToNextStep();
    if (!queryStatus(status)) return false;
  }
  if (!queryStatus(status)) return false;
  // A slow stream leaves fewer than a stretch's bytes between polls, as old
  // as the pause: they are dropped as a larger backlog is.
  if (status.inQueue > kStreamCaptureBytes || !start.quiet) return discardWaiting(start);
  return true;
}

bool SerialTransport::discardWaiting(StreamStart& start) {
  if (!port_->purge(platform::kPurgeRxClear)) return failed(port_->lastError());
  start.discarded = true;
  return true;
}

ByteResult SerialTransport::takeByte(std::uint8_t& byte) {
  if (!port_ || gone()) return ByteResult::kFailed;
  CommStatus status;
  if (!queryStatus(status)) return ByteResult::kFailed;
  if (status.inQueue == 0) return ByteResult::kNone;
  std::uint32_t got = 0;
  // A read that fails counts as an empty queue; should the device have
  // gone, the next status query says so.
  if (!port_->read(&byte, 1, got)) {
    noteFailure(port_->lastError());
    return ByteResult::kNone;
  }
  if (got != 1) return ByteResult::kEnd;
  noteReceived(&byte, 1);
  return ByteResult::kByte;
}

void SerialTransport::waitForInput(std::uint32_t boundMs) {
  if (port_) port_->waitForInput(boundMs);
}

void SerialTransport::close() {
  if (port_ && (port_->close() || gone())) port_.reset();
}

}  // namespace scalecheck
