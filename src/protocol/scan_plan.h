#pragma once

#include <cstdint>
#include <deque>
#include <iterator>
#include <vector>

#include "link/link_settings.h"
#include "protocol/acquisition.h"
#include "protocol/poll_report.h"

namespace scalecheck {

// How a serial line frames a character, in the DCB's codes.
struct Framing {
  std::uint8_t dataBits = 8;
  std::uint8_t parity = parity::kNone;
  std::uint8_t stopBits = stop_bits::kOne;

  friend bool operator==(const Framing& a, const Framing& b) {
    return a.dataBits == b.dataBits && a.parity == b.parity && a.stopBits == b.stopBits;
  }
  // Start bit, data bits, parity bit and stop bits: a character's time on
  // the line in bit times.
  constexpr std::uint32_t bitsPerCharacter() const {
    return 1U + dataBits + (parity != parity::kNone ? 1U : 0U) +
           (stopBits == stop_bits::kTwo ? 2U : 1U);
  }
};

constexpr Framing k8N1{8, parity::kNone, stop_bits::kOne};
constexpr Framing k7E1{7, parity::kEven, stop_bits::kOne};
constexpr Framing k7O1{7, parity::kOdd, stop_bits::kOne};
constexpr Framing k8E1{8, parity::kEven, stop_bits::kOne};
constexpr Framing k8O1{8, parity::kOdd, stop_bits::kOne};
constexpr Framing k8N2{8, parity::kNone, stop_bits::kTwo};
constexpr Framing k7N2{7, parity::kNone, stop_bits::kTwo};

// The framings a scan tries, in the order that settles a tie between
// framings that read a scale alike: the two written ones first.
constexpr Framing kScanFramings[] = {k8N1, k7E1, k7O1, k8E1, k8O1, k8N2, k7N2};

// The rates a scan tries besides the written 9600, in the order tried.
// A stream found at a rate is settled by reading a stretch at each
// framing, and a listen at a rate without the stream costs a stretch of
// garbled bytes: both take longer the slower the rate. 1200 comes first,
// so that settling there still ends within 5 s; then the fast rates,
// cheapest to pass, down to the slow ones. (Measured over the grid with
// the line model: a stream found in 2.3 s on average, 4.8 s at worst;
// the slowest rates last gave 1.9 s and 5.9 s; rates do not change how
// long a scale that is asked takes.)
constexpr std::int32_t kWrittenRate = 9600;
constexpr std::int32_t kOtherScanRates[] = {1200, 115200, 57600, 38400, 19200, 4800, 2400};

// One setting of a serial line.
struct LineSetting {
  std::int32_t baudRate = kWrittenRate;
  Framing framing;

  friend bool operator==(const LineSetting& a, const LineSetting& b) {
    return a.baudRate == b.baudRate && a.framing == b.framing;
  }
};

// `settings` with the rate and framing of `line`.
LinkSettings withLine(LinkSettings settings, const LineSetting& line);

// One step of a scan: a setting, and the ways tried at it.
struct Probe {
  LineSetting line;
  PollWays ways = PollWays::kAll;
};

// The order in which a scan tries the settings, adapting to what it hears.
//  1. The two written settings, 9600 8N1 and 9600 7E1, every way.
//  2. Listening at every other rate as 7E1: a 7-bit receiver reads the
//     ASCII text of every framing at the right rate (a shorter character
//     than the sender's realigns at each start bit), so one listen a rate
//     finds a stream. Left out when nothing came unasked in step 1: any
//     stream garbles into bytes at any rate.
//  3. The requests at every other rate as 7E1, whose ENQ and DC1 are those
//     of 8N1 bit for bit and reach a scale of every framing (both have bit
//     7 clear and even parity), apart from the combined request to 11-bit
//     framings, which misread a DC1 sent right behind a shorter ENQ.
//  4. The requests at every rate as 8N2, whose 11-bit characters reach
//     those too, and which reads their replies.
//  5. The requests at the rest of the grid, for scales that drop bytes
//     with parity or framing errors.
// A rate that answered a request with ACK, NAK or text that made no frame
// has its settings still queued tried next.
class ScanPlan {
 public:
  // `rates`: those besides 9600, in the order to try them.
  explicit ScanPlan(const std::vector<std::int32_t>& rates = {std::begin(kOtherScanRates),
                                                              std::end(kOtherScanRates)});

  // The next probe; false when none is left.
  bool next(Probe& probe);
  // What the probe just made heard.
  void heard(const Probe& probe, const PollReport& report);

 private:
  std::deque<Probe> queue_;
  bool heardUnasked_ = false;  // bytes came while only listening
};

}  // namespace scalecheck
