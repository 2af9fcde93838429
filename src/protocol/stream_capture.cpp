#include "protocol/stream_capture.h"

#include <cstring>

namespace scalecheck {
namespace {

using platform::CommStatus;

constexpr std::uint32_t kCaptureBytes = 44;  // two 22-byte frames
// A streaming scale sends several frames a second: 200 ms of a quiet serial
// line means it does not stream. Checked every 8 ms.
constexpr std::uint32_t kSerialQuietMs = 200;
constexpr std::uint32_t kSerialCheckMs = 8;
// Over TCP the first 128 ms are slept unconditionally, then the socket is
// watched for up to 152 ms more.
constexpr std::uint32_t kTcpSettleMs = 128;
constexpr std::uint32_t kTcpWatchMs = 152;
// Read phase: a first byte within 300 ms; an 80 ms gap ends the data.
constexpr std::uint32_t kFirstByteLimitMs = 300;
constexpr std::uint32_t kByteGapMs = 80;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;

// Sleeps until the tick counter reaches `deadline`, or not at all when it
// has. Waits that follow a schedule of deadlines keep to it, where a chain
// of fixed sleeps would add up every sleep's overshoot.
void sleepUntil(platform::Clock& clock, std::uint32_t deadline) {
  const auto left = static_cast<std::int32_t>(deadline - clock.tickCount());
  if (left > 0) clock.sleep(static_cast<std::uint32_t>(left));
}

bool queryStatus(platform::SerialPort& port, CommStatus& status) {
  std::uint32_t errors = 0;  // line errors are reset and ignored
  return port.clearError(errors, status);
}

// Waits until the serial line carries data; false when it stays quiet or the
// port fails. A receive queue fuller than one capture is stale: discarded,
// so that only fresh bytes are read.
bool waitSerialData(platform::SerialPort& port, platform::Clock& clock) {
  CommStatus status;
  if (!port.setEventMask(platform::kEventRxChar) || !queryStatus(port, status)) return false;
  const std::uint32_t start = clock.tickCount();
  std::uint32_t look = start + kSerialCheckMs;
  sleepUntil(clock, look);
  if (!queryStatus(port, status)) return false;
  while (status.inQueue == 0) {
    if (platform::ticksSince(start, clock.tickCount()) >= kSerialQuietMs) return false;
    look += kSerialCheckMs;
    sleepUntil(clock, look);
    if (!queryStatus(port, status)) return false;
  }
  if (!queryStatus(port, status)) return false;
  return status.inQueue <= kCaptureBytes || port.purge(platform::kPurgeRxClear);
}

// Bytes a streaming peer sent while nobody listened are stale, as on the
// serial line: more than one capture's worth is read and dropped, so the
// frame is cut from what arrives now. (Without this, a peer streaming
// about a kilobyte a second between polls would be shown further behind
// with every poll.)
void discardStaleTcpData(platform::Socket& socket) {
  int stale = socket.bytesWaiting();
  if (stale <= static_cast<int>(kCaptureBytes)) return;
  std::uint8_t scratch[256];
  while (stale > 0) {
    const int chunk =
        stale < static_cast<int>(sizeof scratch) ? stale : static_cast<int>(sizeof scratch);
    const int got = socket.recv(scratch, chunk);
    if (got <= 0) return;
    stale -= got;
  }
}

// Waits a while for the peer to send, and drops what is stale; never fails.
void waitTcpData(platform::Socket& socket, platform::Clock& clock) {
  clock.sleep(kTcpSettleMs);
  const std::uint32_t start = clock.tickCount();
  socket.waitForInput(kTcpWatchMs);
  while (socket.pollReadable() <= 0) {
    const std::uint32_t elapsed = platform::ticksSince(start, clock.tickCount());
    if (elapsed >= kTcpWatchMs) return;
    socket.waitForInput(kTcpWatchMs - elapsed);
  }
  discardStaleTcpData(socket);
}

enum class ByteResult { kByte, kNone, kEnd, kFailed };

// One attempt to take a byte: kNone when nothing is waiting yet, kEnd when
// the source delivers no byte although it reported one, kFailed when the
// serial port cannot be queried.
ByteResult takeByte(ScaleLink& link, std::uint8_t& byte) {
  if (link.settings().mode == LinkMode::kRs232) {
    platform::SerialPort* port = link.serialPort();
    CommStatus status;
    if (port == nullptr || !queryStatus(*port, status)) return ByteResult::kFailed;
    if (status.inQueue == 0) return ByteResult::kNone;
    std::uint32_t got = 0;
    if (!port->read(&byte, 1, got)) return ByteResult::kNone;
    return got == 1 ? ByteResult::kByte : ByteResult::kEnd;
  }
  if (link.settings().mode == LinkMode::kTcp && link.socket() != nullptr) {
    platform::Socket& socket = *link.socket();
    if (socket.pollReadable() == 0) return ByteResult::kNone;
    return socket.recv(&byte, 1) == 1 ? ByteResult::kByte : ByteResult::kEnd;
  }
  return ByteResult::kNone;
}

// Gives up the processor until the link has input or `bound` ms have
// passed; where the system cannot wait for input, it only yields.
void waitForInput(ScaleLink& link, std::uint32_t bound) {
  if (link.settings().mode == LinkMode::kRs232 && link.serialPort() != nullptr) {
    link.serialPort()->waitForInput(bound);
  } else if (link.settings().mode == LinkMode::kTcp && link.socket() != nullptr) {
    link.socket()->waitForInput(bound);
  }
}

// Reads up to 44 bytes into `buffer`; true when 43 or 44 came.
bool readStretch(ScaleLink& link, std::uint8_t (&buffer)[kCaptureBytes]) {
  platform::Clock& clock = link.clock();
  std::uint32_t stored = 0;
  std::uint32_t lastByte = clock.tickCount();
  std::uint32_t cycle = lastByte;
  for (;;) {
    // A byte a millisecond at most, on the whole: cycles keep to their
    // schedule however long each sleep or wait runs.
    sleepUntil(clock, ++cycle);
    std::uint8_t byte = 0;
    const ByteResult result = takeByte(link, byte);
    if (result == ByteResult::kFailed) return false;
    if (result == ByteResult::kByte) {
      buffer[stored] = byte;
      if (stored == kCaptureBytes - 1) return true;
      ++stored;
      lastByte = clock.tickCount();
    }
    if (result != ByteResult::kEnd) {
      const std::uint32_t elapsed = platform::ticksSince(lastByte, clock.tickCount());
      const std::uint32_t limit = stored == 0 ? kFirstByteLimitMs : kByteGapMs;
      if (elapsed < limit) {
        // Nothing waiting: rest until something comes rather than waking
        // every millisecond to ask.
        if (result == ByteResult::kNone) waitForInput(link, limit - elapsed);
        continue;
      }
      if (stored == 0) return false;
    }
    // End of data: 43 bytes still make a stretch, its last position NUL.
    return stored == kCaptureBytes - 1;
  }
}

// The 21 bytes after the first CR LF whose LF stands at 1..22.
bool cutFrame(const std::uint8_t (&buffer)[kCaptureBytes], std::uint8_t* frame) {
  for (std::uint32_t k = 1; k < kCaptureBytes; ++k) {
    if (buffer[k - 1] != kCr || buffer[k] != kLf) continue;
    if (k + kStreamFrameBytes >= kCaptureBytes) return false;
    std::memcpy(frame, &buffer[k + 1], kStreamFrameBytes);
    return true;
  }
  return false;
}

}  // namespace

bool captureStreamFrame(ScaleLink& link, std::uint8_t* frame, std::int32_t& count) {
  const LinkMode mode = link.settings().mode;
  if (mode == LinkMode::kRs232) {
    if (link.serialPort() == nullptr || !waitSerialData(*link.serialPort(), link.clock())) {
      return false;
    }
  } else if (mode == LinkMode::kTcp) {
    if (link.socket() == nullptr) return false;
    waitTcpData(*link.socket(), link.clock());
  }
  std::uint8_t buffer[kCaptureBytes] = {};
  if (!readStretch(link, buffer)) return false;
  if (!cutFrame(buffer, frame)) {
    link.recordErrorIfNone(LinkError::kUnknownStream);
    return false;
  }
  count = kStreamFrameBytes;
  return true;
}

}  // namespace scalecheck
