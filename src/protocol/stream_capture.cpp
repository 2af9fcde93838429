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
// A scale that streams slowly falls quiet between frames. Its next frame is
// waited for up to its period, with a margin for its own jitter and for a
// frame that had begun before the wait (whose rest is no frame), but never
// longer than about a second: a scale that sends more seldom is asked.
constexpr std::uint32_t kStreamWaitMostMs = 1000;
constexpr std::uint32_t kStreamMarginMs = 100;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;

bool isLineEnd(std::uint8_t byte) {
  return byte == kCr || byte == kLf;
}

bool isPrintable(std::uint8_t byte) {
  return byte >= 0x20 && byte <= 0x7E;
}

// Bytes that came less than 80 ms apart, one stretch at most.
struct Burst {
  std::uint8_t bytes[kStreamCaptureBytes] = {};   // a stretch of 43 keeps its last NUL
  std::uint32_t ticks[kStreamCaptureBytes] = {};  // when each was taken
  std::uint32_t stored = 0;
  bool startsFrame = false;  // its first byte came after a quiet line
};

enum class BurstEnd : std::uint8_t { kStretch, kGap, kNothing, kFailed };

// How long a wait for input may last when the poll may be stopped: the
// stop is looked at between such waits.
constexpr std::uint32_t kStopLookMs = 24;

// Reads a burst: its first byte within `firstByteLimitMs`, each next one
// within 80 ms, up to `most` bytes (a stretch: 43 also make one). A stop
// asked meanwhile ends it as silence would.
BurstEnd readBurst(ScaleLink& link, std::uint32_t firstByteLimitMs, Burst& burst,
                   std::uint32_t most = kStreamCaptureBytes) {
  Transport& transport = link.transport();
  platform::Clock& clock = link.clock();
  platform::Deadline silence(clock, firstByteLimitMs);
  // Cycles keep to one schedule however long each sleep or wait runs.
  platform::StepSchedule cycles(clock, kByteCycleMs);
  for (;;) {
    cycles.sleepToNextStep();
    std::uint8_t byte = 0;
    const ByteResult result = transport.takeByte(byte);
    if (result == ByteResult::kFailed) return BurstEnd::kFailed;
    if (result == ByteResult::kByte) {
      // A byte after 80 ms of a line seen empty begins a frame, as a gap
      // ends one.
      if (burst.stored == 0 && silence.elapsed() >= kByteGapMs) {
        burst.startsFrame = true;
      }
      burst.ticks[burst.stored] = clock.tickCount();
      burst.bytes[burst.stored++] = byte;
      if (burst.stored == most) return BurstEnd::kStretch;
      silence.restart(kByteGapMs);
    }
    const bool stopped = result == ByteResult::kNone && link.stopRequested();
    if (result == ByteResult::kEnd || silence.passed() || stopped) {
      if (burst.stored == kStreamCaptureBytes - 1) return BurstEnd::kStretch;
      return burst.stored == 0 ? BurstEnd::kNothing : BurstEnd::kGap;
    }
    // Nothing waiting: rest until something comes rather than waking every
    // millisecond to ask.
    if (result == ByteResult::kNone) {
      const std::uint32_t rest = silence.remaining();
      transport.waitForInput(link.stoppable() && rest > kStopLookMs ? kStopLookMs : rest);
    }
  }
}

// The 21 bytes after the first CR LF whose LF stands at 1..22.
bool cutFrame(const Burst& burst, std::uint8_t* frame) {
  for (std::uint32_t k = 1; k < kStreamCaptureBytes; ++k) {
    if (burst.bytes[k - 1] != kCr || burst.bytes[k] != kLf) continue;
    if (k + kStreamFrameBytes >= kStreamCaptureBytes) return false;
    std::memcpy(frame, &burst.bytes[k + 1], kStreamFrameBytes);
    return true;
  }
  return false;
}

bool beginsFrame(const Burst& burst, std::uint32_t i) {
  if (i == 0) return burst.startsFrame;
  return isLineEnd(burst.bytes[i - 1]) && !isLineEnd(burst.bytes[i]);
}

// The length of the frame from `start` to its line end (a CR's LF with it);
// 0 when no line end closes it or a byte before that is no printable text:
// garbage is never read as a frame.
std::uint32_t wholeFrameAt(const Burst& burst, std::uint32_t start) {
  std::uint32_t end = start;
  while (end < burst.stored && isPrintable(burst.bytes[end])) ++end;
  if (end == start || end == burst.stored || !isLineEnd(burst.bytes[end])) return 0;
  if (burst.bytes[end] == kCr && end + 1 < burst.stored && burst.bytes[end + 1] == kLf) ++end;
  return end + 1 - start;
}

struct Span {
  std::uint32_t start = 0;
  std::uint32_t length = 0;
};

// The burst's newest whole frame.
bool findWholeFrame(const Burst& burst, Span& frame) {
  bool found = false;
  for (std::uint32_t i = 0; i < burst.stored; ++i) {
    const std::uint32_t length = beginsFrame(burst, i) ? wholeFrameAt(burst, i) : 0;
    if (length == 0) continue;
    frame = Span{i, length};
    found = true;
  }
  return found;
}

// Text that ends on a line end: a frame's rest, after which the next
// frame begins.
bool endsBetweenFrames(const Burst& burst) {
  for (std::uint32_t i = 0; i < burst.stored; ++i) {
    if (!isPrintable(burst.bytes[i]) && !isLineEnd(burst.bytes[i])) return false;
  }
  return burst.stored > 0 && isLineEnd(burst.bytes[burst.stored - 1]);
}

// From one frame start to the next, when the burst saw two come.
void notePeriod(const Burst& burst, StreamMemory& memory) {
  bool seen = false;
  std::uint32_t previous = 0;
  for (std::uint32_t i = 0; i < burst.stored; ++i) {
    if (!beginsFrame(burst, i)) continue;
    if (seen) memory.periodMs = burst.ticks[i] - burst.ticks[previous];
    previous = i;
    seen = true;
  }
}

// How long the next frame of a scale known to stream is waited for.
std::uint32_t streamWaitMs(const StreamMemory& memory) {
  if (memory.periodMs == 0 || memory.periodMs >= kStreamWaitMostMs) return kStreamWaitMostMs;
  const std::uint32_t wait = memory.periodMs + memory.periodMs / 4 + kStreamMarginMs;
  return wait < kStreamWaitMostMs ? wait : kStreamWaitMostMs;
}

// A slow stream's period, once: from the start of the frame just read to
// the first byte of the next.
void measurePeriod(ScaleLink& link, std::uint32_t frameStart, StreamMemory& memory) {
  const std::uint32_t spent = link.clock().tickCount() - frameStart;
  if (spent >= kStreamWaitMostMs) return;
  Burst next;
  if (readBurst(link, kStreamWaitMostMs - spent, next, 1) != BurstEnd::kStretch) {
    return;
  }
  memory.periodMs = next.ticks[0] - frameStart;
}

bool cutStretch(ScaleLink& link, const Burst& burst, std::uint8_t* frame, std::int32_t& count) {
  if (!cutFrame(burst, frame)) {
    link.recordErrorIfNone(LinkError::kUnknownStream);
    return false;
  }
  count = kStreamFrameBytes;
  return true;
}

// Burst after burst: a stretch is cut as ever; a burst that falls quiet
// gives its newest whole frame; one that ends between frames (the rest of
// a frame begun before the capture) is followed by the next, which begins
// a frame, for as long as the wait for a frame lasts.
bool listen(ScaleLink& link, const StreamStart& start, std::uint32_t firstByteLimitMs,
            std::uint8_t* frame, std::int32_t& count, StreamHeard* heard) {
  platform::Clock& clock = link.clock();
  StreamMemory& memory = link.streamMemory();
  Burst burst;
  // Bytes dropped since the first look may have been a frame's beginning.
  burst.startsFrame = start.quiet && !start.discarded;
  std::uint32_t limit = firstByteLimitMs;
  std::uint32_t firstByteAt = 0;
  for (bool first = true;; first = false) {
    const BurstEnd end = readBurst(link, limit, burst);
    if (heard != nullptr) {
      std::memcpy(heard->bytes, burst.bytes, sizeof heard->bytes);
      heard->count = burst.stored;
    }
    if (end == BurstEnd::kFailed || end == BurstEnd::kNothing) return false;
    notePeriod(burst, memory);
    if (end == BurstEnd::kStretch) return cutStretch(link, burst, frame, count);
    Span whole;
    if (findWholeFrame(burst, whole)) {
      std::memcpy(frame, &burst.bytes[whole.start], whole.length);
      count = static_cast<std::int32_t>(whole.length);
      if (memory.periodMs == 0) measurePeriod(link, burst.ticks[whole.start], memory);
      return true;
    }
    if (!endsBetweenFrames(burst)) return false;
    if (first) firstByteAt = burst.ticks[0];
    const std::uint32_t waited = clock.tickCount() - firstByteAt;
    const std::uint32_t wait = streamWaitMs(memory);
    if (waited >= wait) return false;
    limit = wait - waited;
    burst = Burst{};
    burst.startsFrame = true;
  }
}

}  // namespace

bool captureStreamFrame(ScaleLink& link, std::uint8_t* frame, std::int32_t& count,
                        StreamHeard* heard) {
  StreamMemory& memory = link.streamMemory();
  const platform::Deadline streamWait(link.clock(), streamWaitMs(memory));
  StreamStart start;
  bool found = false;
  if (link.transport().waitForStream(memory.streaming, start) && !link.stopRequested()) {
    // A scale known to stream, or one whose unasked data was dropped as
    // stale, is given its frame period from the start of the capture (and
    // no less than a quiet scale's 300 ms) for its next frame.
    const bool streams = memory.streaming || start.discarded;
    const std::uint32_t limit = streams && streamWait.remaining() > kFirstByteLimitMs
                                    ? streamWait.remaining()
                                    : kFirstByteLimitMs;
    found = listen(link, start, limit, frame, count, heard);
  }
  if (found) {
    memory.streaming = true;
  } else {
    memory = StreamMemory{};
  }
  return found;
}

}  // namespace scalecheck
