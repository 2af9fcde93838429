#include "protocol/acquisition.h"

#include <cstring>

#include "protocol/frame_parser.h"
#include "protocol/stream_capture.h"

namespace scalecheck {
namespace {

constexpr std::uint8_t kEnq = 0x05;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kDc1 = 0x11;
constexpr std::int32_t kReplyParseLength = 22;
constexpr std::size_t kExchangeSize = 64;
// Time the scale is given to answer ENQ before its reply is read (a frame
// after DC1 is given kFrameDelayMs).
constexpr std::uint32_t kAckDelayMs = 128;
// A combined-request reply shorter than this is no weight frame.
constexpr std::int32_t kCombinedMinBytes = 11;

// One poll's working state: the exchange buffer holds the captured frame,
// then each request sent and each reply received, always from position 0.
struct Exchange {
  std::uint8_t buffer[kExchangeSize] = {};
  WeightReading parsed;
  std::int32_t dumpCount = 0;
};

bool parseInto(ScaleLink& link, Exchange& exchange, std::int32_t length) {
  return parseFrame(link.decimalSeparator(), exchange.buffer, length, exchange.parsed);
}

bool tryTwoStep(ScaleLink& link, Exchange& exchange) {
  std::int32_t count = 0;
  exchange.buffer[0] = kEnq;
  if (!link.writeBytes(exchange.buffer, 1)) return false;
  link.clock().sleep(kAckDelayMs);
  if (!link.readReply(exchange.buffer, count) || count != 1 || exchange.buffer[0] != kAck) {
    return false;
  }
  exchange.buffer[0] = kDc1;
  if (!link.writeBytes(exchange.buffer, 1)) return false;
  link.clock().sleep(kFrameDelayMs);
  if (!link.readReply(exchange.buffer, count)) return false;
  if (!parseInto(link, exchange, kReplyParseLength)) return false;
  exchange.dumpCount = count;
  return true;
}

bool tryCombined(ScaleLink& link, Exchange& exchange) {
  std::int32_t count = 0;
  exchange.buffer[0] = kEnq;
  exchange.buffer[1] = kDc1;
  if (!link.writeBytes(exchange.buffer, 2)) return false;
  const std::uint32_t delay = link.transport().combinedReplyDelayMs();
  if (delay > 0) link.clock().sleep(delay);
  std::memset(exchange.buffer, 0, kReplyParseLength);
  if (!link.readReply(exchange.buffer, count) || count < kCombinedMinBytes) return false;
  if (!parseInto(link, exchange, kReplyParseLength)) return false;
  exchange.dumpCount = count;
  return true;
}

// The frame that gave the reading, cut before its first NUL, as one block.
void dumpFrame(ScaleLink& link, const Exchange& exchange) {
  const auto* end = static_cast<const std::uint8_t*>(
      std::memchr(exchange.buffer, 0, static_cast<std::size_t>(exchange.dumpCount)));
  const std::size_t length = end != nullptr ? static_cast<std::size_t>(end - exchange.buffer)
                                            : static_cast<std::size_t>(exchange.dumpCount);
  link.deviceDump().append(reinterpret_cast<const char*>(exchange.buffer), length);
}

bool finishPoll(ScaleLink& link, const Exchange& exchange, AcquisitionMode mode,
                WeightReading& out) {
  WeightReading& reading = link.lastReading();
  reading = exchange.parsed;
  reading.acquisitionMode = mode;
  reading.valid = 1;
  dumpFrame(link, exchange);
  out = reading;
  return true;
}

bool failPoll(ScaleLink& link) {
  link.recordErrorIfNone(LinkError::kNoData);
  return false;
}

}  // namespace

bool pollReading(ScaleLink& link, WeightReading& out) {
  Exchange exchange;
  link.lastReading() = WeightReading{};
  // Codes 10 and 11 describe one poll, so each failed poll shows its own
  // cause: a scale that sent garbage once and is silent now shows 110.
  if (link.lastError() == LinkError::kNoData || link.lastError() == LinkError::kUnknownStream) {
    link.setLastError(LinkError::kNone);
  }
  if (!link.restoreConnection()) return failPoll(link);

  std::int32_t captured = 0;
  if (captureStreamFrame(link, exchange.buffer, captured)) {
    // A scale that streams is never asked: a frame it sent that does not
    // parse fails the poll.
    if (!parseInto(link, exchange, kStreamFrameBytes)) return failPoll(link);
    exchange.dumpCount = kStreamFrameBytes;
    return finishPoll(link, exchange, AcquisitionMode::kStream, out);
  }
  if (tryTwoStep(link, exchange)) return finishPoll(link, exchange, AcquisitionMode::kTwoStep, out);
  if (tryCombined(link, exchange)) {
    return finishPoll(link, exchange, AcquisitionMode::kCombined, out);
  }
  return failPoll(link);
}

}  // namespace scalecheck
