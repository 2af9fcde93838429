#include "protocol/stream_capture.h"

#include <cstring>

#include "platform/deadline.h"

namespace scalecheck {
namespace {

// Read phase: a first byte within 300 ms; an 80 ms gap ends the data. At
// most one byte is taken a millisecond.
constexpr std::uint32_t kFirstByteLimitMs = 300;
constexpr std::uint32_t kByteGapMs = 80;
constexpr std::uint32_t kByteCycleMs = 1;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;

// Reads up to 44 bytes into `buffer`; true when 43 or 44 came.
bool readStretch(Transport& transport, platform::Clock& clock,
                 std::uint8_t (&buffer)[kStreamCaptureBytes]) {
  std::uint32_t stored = 0;
  platform::Deadline silence(clock, kFirstByteLimitMs);
  // Cycles keep to one schedule however long each sleep or wait runs.
  platform::StepSchedule cycles(clock, kByteCycleMs);
  for (;;) {
    cycles.sleepToNextStep();
    std::uint8_t byte = 0;
    const ByteResult result = transport.takeByte(byte);
    if (result == ByteResult::kFailed) return false;
    if (result == ByteResult::kByte) {
      buffer[stored] = byte;
      if (stored == kStreamCaptureBytes - 1) return true;
      ++stored;
      silence.restart(kByteGapMs);
    }
    // End of data: 43 bytes still make a stretch, its last position NUL.
    if (result == ByteResult::kEnd || silence.passed()) return stored == kStreamCaptureBytes - 1;
    // Nothing waiting: rest until something comes rather than waking every
    // millisecond to ask.
    if (result == ByteResult::kNone) transport.waitForInput(silence.remaining());
  }
}

// The 21 bytes after the first CR LF whose LF stands at 1..22.
bool cutFrame(const std::uint8_t (&buffer)[kStreamCaptureBytes], std::uint8_t* frame) {
  for (std::uint32_t k = 1; k < kStreamCaptureBytes; ++k) {
    if (buffer[k - 1] != kCr || buffer[k] != kLf) continue;
    if (k + kStreamFrameBytes >= kStreamCaptureBytes) return false;
    std::memcpy(frame, &buffer[k + 1], kStreamFrameBytes);
    return true;
  }
  return false;
}

}  // namespace

bool captureStreamFrame(ScaleLink& link, std::uint8_t* frame, std::int32_t& count) {
  Transport& transport = link.transport();
  if (!transport.waitForStream()) return false;
  std::uint8_t buffer[kStreamCaptureBytes] = {};
  if (!readStretch(transport, link.clock(), buffer)) return false;
  if (!cutFrame(buffer, frame)) {
    link.recordErrorIfNone(LinkError::kUnknownStream);
    return false;
  }
  count = kStreamFrameBytes;
  return true;
}

}  // namespace scalecheck
