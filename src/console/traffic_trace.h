#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/record_file.h"
#include "link/transport.h"
#include "platform/clock.h"

namespace scalecheck::console {

// The trace of a run (--trace FILE): every byte the link sends and receives,
// as it passes, one line a burst, with the milliseconds since the trace
// began, the direction (> to the scale, < from it), the bytes in hex and as
// text ('.' for a byte that is no printable ASCII):
//     1216 ms  > 05                                           |.|
// A burst is a stretch of bytes in one direction. It ends when the
// direction changes, when no byte has passed for more than 20 ms (two
// character times even at 1200 baud), at 24 bytes (a frame fits), and
// before any other line. Lines are plain ASCII, each written out as soon as
// it is complete; while the file cannot be written they wait in memory.
class TrafficTrace final : public TrafficObserver {
 public:
  TrafficTrace(platform::Clock& clock, RecordFile& file);

  void sent(const std::uint8_t* bytes, std::size_t length) override;
  void received(const std::uint8_t* bytes, std::size_t length) override;

  // A line of its own with the time (such as "poll 3"); ASCII only.
  void note(const std::string& text);
  // "# text", without a time: the heading.
  void comment(const std::string& text);

 private:
  // Writes the burst being gathered.
  void endBurst();
  enum class Direction : std::uint8_t { kSent, kReceived };
  void take(Direction direction, const std::uint8_t* bytes, std::size_t length);
  void writeLine(const std::string& line);
  std::string stamp(std::uint64_t tick) const;

  platform::Clock& clock_;
  RecordFile& file_;
  std::uint64_t start_;
  Direction direction_ = Direction::kSent;
  std::string burst_;
  std::uint64_t burstAt_ = 0;
  std::uint64_t lastByteAt_ = 0;
};

}  // namespace scalecheck::console
