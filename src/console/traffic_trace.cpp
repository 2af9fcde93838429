#include "console/traffic_trace.h"

#include <cstdio>

namespace scalecheck::console {
namespace {

constexpr std::uint64_t kBurstGapMs = 20;
constexpr std::size_t kBytesPerLine = 24;
constexpr std::size_t kHexWidth = kBytesPerLine * 3 - 1;  // "05 11 ..." of a full line

}  // namespace

TrafficTrace::TrafficTrace(platform::Clock& clock, RecordFile& file)
    : clock_(clock), file_(file), start_(clock.tickCount64()) {}

void TrafficTrace::sent(const std::uint8_t* bytes, std::size_t length) {
  take(Direction::kSent, bytes, length);
}

void TrafficTrace::received(const std::uint8_t* bytes, std::size_t length) {
  take(Direction::kReceived, bytes, length);
}

void TrafficTrace::take(Direction direction, const std::uint8_t* bytes, std::size_t length) {
  const std::uint64_t now = clock_.tickCount64();
  for (std::size_t i = 0; i < length; ++i) {
    if (direction != direction_ || burst_.size() >= kBytesPerLine ||
        now - lastByteAt_ > kBurstGapMs) {
      endBurst();
    }
    if (burst_.empty()) {
      direction_ = direction;
      burstAt_ = now;
    }
    burst_ += static_cast<char>(bytes[i]);
    lastByteAt_ = now;
  }
}

void TrafficTrace::endBurst() {
  if (burst_.empty()) return;
  std::string hex;
  std::string text;
  for (const char c : burst_) {
    const auto byte = static_cast<unsigned char>(c);
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(byte));
    hex += (hex.empty() ? "" : " ") + std::string(digits);
    text += byte >= 0x20 && byte <= 0x7E ? c : '.';
  }
  hex.resize(kHexWidth, ' ');
  writeLine(stamp(burstAt_) + (direction_ == Direction::kSent ? "  > " : "  < ") + hex + "  |" +
            text + "|");
  burst_.clear();
}

void TrafficTrace::note(const std::string& text) {
  endBurst();
  writeLine(stamp(clock_.tickCount64()) + "  " + text);
}

void TrafficTrace::comment(const std::string& text) {
  endBurst();
  writeLine("# " + text);
}

void TrafficTrace::writeLine(const std::string& line) {
  const std::string record = line + "\n";
  file_.append(record.data(), record.size());
}

// "    1216 ms": milliseconds since the start, right-aligned in 8 digits.
std::string TrafficTrace::stamp(std::uint64_t tick) const {
  char text[32];
  std::snprintf(text, sizeof text, "%8llu ms", static_cast<unsigned long long>(tick - start_));
  return text;
}

}  // namespace scalecheck::console
