#include "protocol/acquisition.h"

#include <cstring>

#include "protocol/frame_parser.h"
#include "protocol/stream_capture.h"

namespace scalecheck {
namespace {

constexpr std::uint8_t kEnq = 0x05;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kDc1 = 0x11;
constexpr std::uint8_t kNak = 0x15;
constexpr std::int32_t kReplyParseLength = 22;
constexpr std::size_t kExchangeSize = 64;
// Time the scale is given to answer ENQ before its reply is read (a frame
// after DC1 is given kFrameDelayMs).
constexpr std::uint32_t kAckDelayMs = 128;
// A combined-request reply shorter than this is no weight frame.
constexpr std::int32_t kCombinedMinBytes = 11;

// Whether the bytes of one reply or burst are text: printable characters,
// maybe with ACK, NAK and line ends, and nothing else (other bytes are a
// wrong rate or framing, or noise).
bool isText(const std::uint8_t* bytes, std::int32_t count) {
  // NULs that fill the buffer after a stretch of 43 are not the scale's.
  while (count > 0 && bytes[count - 1] == 0) --count;
  bool printable = false;
  for (std::int32_t i = 0; i < count; ++i) {
    const std::uint8_t byte = bytes[i];
    if (byte >= 0x20 && byte <= 0x7E) {
      printable = true;
    } else if (byte != kAck && byte != kNak && byte != '\r' && byte != '\n' && byte != '\t') {
      return false;
    }
  }
  return printable;
}

// One poll's working state: the exchange buffer holds the captured frame,
// then each request sent and each reply received, always from position 0;
// the evidence is what was heard on the way.
struct Exchange {
  std::uint8_t buffer[kExchangeSize] = {};
  WeightReading parsed;
  std::int32_t dumpCount = 0;
  PollReport& report;
  // Why the parser refused the last text heard; kNone: it refused none.
  FrameRejection rejection = FrameRejection::kNone;
  bool textUnused = false;  // a frame heard where none was asked for

  explicit Exchange(PollReport& pollReport) : report(pollReport) {}
};

// Bytes that made no reading: text is kept as the poll's evidence, refused
// for `why`.
void noteRefused(Exchange& exchange, const std::uint8_t* bytes, std::int32_t count,
                 FrameRejection why) {
  if (isText(bytes, count)) exchange.rejection = why;
}

// Parses `length` bytes of the exchange buffer, of which the scale sent
// `sent`.
bool parseInto(ScaleLink& link, Exchange& exchange, std::int32_t length, std::int32_t sent) {
  FrameRejection why = FrameRejection::kNone;
  if (parseFrame(link.decimalSeparator(), exchange.buffer, length, exchange.parsed, &why)) {
    ++exchange.report.framesRecognised;
    return true;
  }
  noteRefused(exchange, exchange.buffer, sent, why);
  return false;
}

// Bytes that were no answer to what was asked: text is read as a frame
// would be, to say what is wrong with it. True when it was a whole frame.
bool noteUnasked(ScaleLink& link, Exchange& exchange, const std::uint8_t* bytes,
                 std::int32_t count) {
  if (!isText(bytes, count)) return false;
  WeightReading unused;
  FrameRejection why = FrameRejection::kNone;
  if (!parseFrame(link.decimalSeparator(), bytes, count, unused, &why)) {
    exchange.rejection = why;
    return false;
  }
  ++exchange.report.framesRecognised;
  exchange.textUnused = true;
  return true;
}

// Sleeps `ms`; false when the poll is to be given up after it.
bool restAndGoOn(ScaleLink& link, std::uint32_t ms) {
  link.clock().sleep(ms);
  return !link.stopRequested();
}

enum class TwoStep : std::uint8_t { kReading, kFailed, kStreamHeard };

TwoStep tryTwoStep(ScaleLink& link, Exchange& exchange) {
  std::int32_t count = 0;
  exchange.buffer[0] = kEnq;
  if (!link.writeBytes(exchange.buffer, 1)) return TwoStep::kFailed;
  if (!restAndGoOn(link, kAckDelayMs)) return TwoStep::kFailed;
  if (!link.readReply(exchange.buffer, count)) return TwoStep::kFailed;
  if (exchange.buffer[0] == kAck) exchange.report.ackSeen = true;
  if (exchange.buffer[0] == kNak) exchange.report.nakSeen = true;
  if (count != 1 || exchange.buffer[0] != kAck) {
    // No scale answers a lone ENQ with a frame: one that came is streamed,
    // its first byte the first after the quiet line the capture heard.
    return noteUnasked(link, exchange, exchange.buffer, count) ? TwoStep::kStreamHeard
                                                               : TwoStep::kFailed;
  }
  exchange.buffer[0] = kDc1;
  if (link.stopRequested() || !link.writeBytes(exchange.buffer, 1)) return TwoStep::kFailed;
  if (!restAndGoOn(link, kFrameDelayMs)) return TwoStep::kFailed;
  if (!link.readReply(exchange.buffer, count)) return TwoStep::kFailed;
  if (!parseInto(link, exchange, kReplyParseLength, count)) return TwoStep::kFailed;
  exchange.dumpCount = count;
  return TwoStep::kReading;
}

bool tryCombined(ScaleLink& link, Exchange& exchange) {
  std::int32_t count = 0;
  exchange.buffer[0] = kEnq;
  exchange.buffer[1] = kDc1;
  if (!link.writeBytes(exchange.buffer, 2)) return false;
  const std::uint32_t delay = link.transport().combinedReplyDelayMs();
  if (delay > 0 && !restAndGoOn(link, delay)) return false;
  std::memset(exchange.buffer, 0, kReplyParseLength);
  if (!link.readReply(exchange.buffer, count)) return false;
  if (exchange.buffer[0] == kNak) exchange.report.nakSeen = true;
  if (count < kCombinedMinBytes) {
    noteRefused(exchange, exchange.buffer, count, FrameRejection::kTooShort);
    return false;
  }
  if (!parseInto(link, exchange, kReplyParseLength, count)) return false;
  exchange.dumpCount = count;
  return true;
}

// A stream frame: 21 bytes cut from a stretch, or a whole frame of its own
// length, of which at most 21 bytes are dumped.
bool tryStream(ScaleLink& link, Exchange& exchange, bool& framed) {
  std::int32_t captured = 0;
  StreamHeard heard;
  const std::uint64_t before = link.transport().bytesReceived();
  framed = captureStreamFrame(link, exchange.buffer, captured, &heard);
  exchange.report.bytesUnasked +=
      static_cast<std::uint32_t>(link.transport().bytesReceived() - before);
  if (!framed) {
    noteUnasked(link, exchange, heard.bytes, static_cast<std::int32_t>(heard.count));
    return false;
  }
  if (!parseInto(link, exchange, captured, captured)) return false;
  exchange.dumpCount = captured < kStreamFrameBytes ? captured : kStreamFrameBytes;
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
  exchange.report.mode = mode;
  dumpFrame(link, exchange);
  out = reading;
  return true;
}

// The first cause that applies, in order of what says most.
PollCause causeOf(const ScaleLink& link, const Exchange& exchange, bool wasOpen) {
  const Transport& transport = link.transport();
  if (!wasOpen) return PollCause::kNotOpened;
  if (transport.gone() || !transport.isOpen()) return lossCause(transport);
  if (exchange.report.nakSeen) return PollCause::kNak;
  if (exchange.rejection != FrameRejection::kNone || exchange.textUnused) {
    return PollCause::kFrameRejected;
  }
  if (exchange.report.ackSeen) return PollCause::kAckWithoutFrame;
  if (exchange.report.bytesHeard > 0) return PollCause::kBytesWithoutFrame;
  return PollCause::kSilence;
}

bool failPoll(ScaleLink& link, Exchange& exchange, bool wasOpen) {
  PollReport& report = exchange.report;
  report.cause = causeOf(link, exchange, wasOpen);
  if (report.cause == PollCause::kFrameRejected) report.rejection = exchange.rejection;
  if (lostConnection(report.cause)) report.osError = link.osError();
  link.recordErrorIfNone(LinkError::kNoData);
  return false;
}

// The way that gives the reading, or none.
AcquisitionMode acquire(ScaleLink& link, Exchange& exchange, PollWays ways) {
  // A scale that streams is never asked: a frame it sent that does not
  // parse fails the poll.
  bool framed = false;
  if (ways != PollWays::kRequestsOnly) {
    if (tryStream(link, exchange, framed)) return AcquisitionMode::kStream;
    if (framed || ways == PollWays::kStreamOnly) return AcquisitionMode::kNone;
  }
  if (link.stopRequested()) return AcquisitionMode::kNone;
  const TwoStep twoStep = tryTwoStep(link, exchange);
  if (twoStep == TwoStep::kReading) return AcquisitionMode::kTwoStep;
  if (twoStep == TwoStep::kStreamHeard) {
    // Listened for as a stream from now on; asked again only should no
    // frame come.
    link.streamMemory().streaming = true;
    if (tryStream(link, exchange, framed)) return AcquisitionMode::kStream;
    if (framed) return AcquisitionMode::kNone;
  }
  if (link.stopRequested()) return AcquisitionMode::kNone;
  if (tryCombined(link, exchange)) return AcquisitionMode::kCombined;
  return AcquisitionMode::kNone;
}

}  // namespace

bool pollReading(ScaleLink& link, WeightReading& out) {
  PollReport report;
  return pollReading(link, out, report);
}

bool pollReading(ScaleLink& link, WeightReading& out, PollReport& report, PollWays ways) {
  report = PollReport{};
  Exchange exchange(report);
  link.lastReading() = WeightReading{};
  // Codes 10 and 11 describe one poll, so each failed poll shows its own
  // cause: a scale that sent garbage once and is silent now shows 110.
  if (link.lastError() == LinkError::kNoData || link.lastError() == LinkError::kUnknownStream) {
    link.setLastError(LinkError::kNone);
  }
  const std::uint64_t receivedBefore = link.transport().bytesReceived();
  if (!link.restoreConnection()) return failPoll(link, exchange, false);
  const bool wasOpen = link.transport().isOpen();

  const AcquisitionMode mode = acquire(link, exchange, ways);
  report.bytesHeard = static_cast<std::uint32_t>(link.transport().bytesReceived() - receivedBefore);
  if (mode == AcquisitionMode::kNone) return failPoll(link, exchange, wasOpen);
  return finishPoll(link, exchange, mode, out);
}

}  // namespace scalecheck
