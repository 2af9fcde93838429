#include "protocol/settings_scan.h"

#include <algorithm>
#include <iterator>

#include "platform/deadline.h"
#include "protocol/acquisition.h"

namespace scalecheck {
namespace {

// A slow stream sends a frame at least once a second: a line quiet for a
// second and the time of a character at 1200 baud carries no stream.
constexpr std::uint32_t kQuietWithoutStreamMs = 1000 + 10;
// A receiver whose settings change in the middle of a stream sent back to
// back takes a wrong falling edge for a start bit and reads garbage until
// a frame's end puts it right: up to 22 characters in the line model, at
// every rate and framing. Listening begins after this many characters at
// the new settings, and the capture drops them as stale.
constexpr std::uint32_t kRealignCharacters = 24;

// Asks the listener once a poll wait ends; once it has said stop, the
// answer stays.
class LatchedStop final : public StopCheck {
 public:
  explicit LatchedStop(ScanListener& listener) : listener_(listener) {}
  bool stopRequested() override {
    if (!stopped_) stopped_ = listener_.stopRequested();
    return stopped_;
  }
  bool stopped() const { return stopped_; }

 private:
  ScanListener& listener_;
  bool stopped_ = false;
};

bool alike(const WeightReading& a, const WeightReading& b) {
  return a.acquisitionMode == b.acquisitionMode && a.unit == b.unit && a.hasPoint == b.hasPoint &&
         a.decimals == b.decimals;
}

void addUp(PollReport& sum, const PollReport& poll) {
  const PollReport before = sum;
  sum = poll;
  sum.bytesHeard += before.bytesHeard;
  sum.bytesUnasked += before.bytesUnasked;
  sum.framesRecognised += before.framesRecognised;
  sum.ackSeen = sum.ackSeen || before.ackSeen;
  sum.nakSeen = sum.nakSeen || before.nakSeen;
}

// Whether a probe of `ways` tried the way `mode`.
bool covers(PollWays ways, AcquisitionMode mode) {
  if (ways == PollWays::kAll) return true;
  return (ways == PollWays::kStreamOnly) == (mode == AcquisitionMode::kStream);
}

PollWays waysOf(AcquisitionMode mode) {
  return mode == AcquisitionMode::kStream ? PollWays::kStreamOnly : PollWays::kRequestsOnly;
}

class Scan {
 public:
  Scan(ScaleLink& link, ScanListener& listener)
      : link_(link),
        listener_(listener),
        stop_(listener),
        serial_(link.settings().mode == LinkMode::kRs232) {
    link_.setStopCheck(&stop_);
  }
  ~Scan() { link_.setStopCheck(nullptr); }
  Scan(const Scan&) = delete;
  Scan& operator=(const Scan&) = delete;

  ScanResult run(ScanPlan& plan) {
    if (!serial_) {
      const ProbeOutcome outcome = probe(Probe{LineSetting{}, PollWays::kAll});
      if (outcome.read) settle(outcome);
      return finished();
    }
    Probe next;
    while (!ended() && plan.next(next)) {
      const ProbeOutcome outcome = probe(next);
      plan.heard(next, outcome.heard);
      if (outcome.read && settle(outcome)) break;
    }
    return finished();
  }

 private:
  bool ended() const { return stop_.stopped() || result_.lost; }

  ScanResult finished() {
    result_.stopped = stop_.stopped();
    return result_;
  }

  // Puts the setting in force and polls it, more than once when a line
  // that stayed quiet while only listened to may carry a slow stream.
  ProbeOutcome probe(const Probe& probe) {
    ProbeOutcome outcome;
    outcome.probe = probe;
    if (serial_) outcome.applied = link_.changeLineSettings(withLine(link_.settings(), probe.line));
    if (outcome.applied) {
      // A receiver that read frames at this rate a moment ago still starts
      // its characters at the right edges.
      const bool aligned = probe.line.baudRate == alignedRate_;
      if (serial_ && probe.ways != PollWays::kRequestsOnly && !aligned) realign(probe.line);
      pollUntilTold(outcome);
      outcome.lineErrors = link_.transport().takeLineErrors();
      outcome.cut = stop_.stopped();
      if (!outcome.cut) count(outcome);
    }
    alignedRate_ = outcome.read ? probe.line.baudRate : 0;
    tried_.push_back(outcome);
    listener_.probed(outcome);
    return outcome;
  }

  void realign(const LineSetting& line) {
    const std::uint32_t bits = line.framing.bitsPerCharacter();
    const auto rate = static_cast<std::uint32_t>(line.baudRate);
    link_.clock().sleep((kRealignCharacters * bits * 1000 + rate - 1) / rate);
  }

  // Polls the ways of the probe. While only listening, a line that stayed
  // quiet is listened to again as long as a slow stream may stay quiet,
  // and a short burst of text that made no frame (a slow stream's frame
  // whose beginning came before the listening) once more.
  void pollUntilTold(ProbeOutcome& outcome) {
    const platform::Deadline quiet(link_.clock(), kQuietWithoutStreamMs);
    for (bool again = false;; again = true) {
      if (pollOnce(outcome)) {
        outcome.read = true;
        outcome.readings = 1;
        return;
      }
      if (ended() || outcome.probe.ways != PollWays::kStreamOnly) return;
      const PollReport& heard = outcome.heard;
      const bool silent = heard.bytesHeard == 0 && !quiet.passed();
      const bool frameCut = !again && heard.cause == PollCause::kFrameRejected &&
                            heard.bytesHeard < kStreamCaptureBytes;
      if (!silent && !frameCut) return;
    }
  }

  // One poll of the probe's ways; what it heard is added to the probe's.
  bool pollOnce(ProbeOutcome& outcome) {
    PollReport report;
    const bool got = pollReading(link_, outcome.reading, report, outcome.probe.ways);
    addUp(outcome.heard, report);
    if (lostConnection(report.cause)) result_.lost = true;
    return got;
  }

  void count(const ProbeOutcome& outcome) {
    ++result_.probes;
    if (outcome.heard.bytesHeard > 0) ++result_.probesHeard;
    if (outcome.heard.ackSeen || outcome.heard.nakSeen) ++result_.probesAnswered;
  }

  // A setting already polled the way `mode` without a reading.
  bool knownNotToRead(const LineSetting& line, AcquisitionMode mode) const {
    return std::any_of(tried_.begin(), tried_.end(), [&](const ProbeOutcome& outcome) {
      return outcome.probe.line == line && outcome.applied && !outcome.read &&
             covers(outcome.probe.ways, mode);
    });
  }

  // The other framings at the rate of `hit`, tried the way it read; one
  // reading says whether one reads alike. The one chosen then counts only
  // once a second poll agrees: the same way (a stream read between
  // requests would pass for their reply) and the same form of frame (one
  // garbled frame that happens to parse is no scale). False when none does.
  bool settle(const ProbeOutcome& hit) {
    const AcquisitionMode mode = hit.reading.acquisitionMode;
    std::vector<ProbeOutcome> readers{hit};
    for (const Framing& framing : kScanFramings) {
      const LineSetting line{hit.probe.line.baudRate, framing};
      if (!serial_ || ended()) break;
      if (line == hit.probe.line || knownNotToRead(line, mode)) continue;
      const ProbeOutcome other = probe(Probe{line, waysOf(mode)});
      if (other.read && alike(other.reading, hit.reading)) readers.push_back(other);
    }
    std::stable_sort(readers.begin(), readers.end(),
                     [](const ProbeOutcome& a, const ProbeOutcome& b) {
                       return framingRank(a.probe.line.framing) < framingRank(b.probe.line.framing);
                     });
    std::vector<ProbeOutcome>::iterator chosen;
    while ((chosen = choose(readers)) != readers.end() && !confirmed(*chosen) && !ended()) {
      // A stream is listened to again; a reply asked for once more as a run
      // asks, listening first.
      const PollWays ways =
          mode == AcquisitionMode::kStream ? PollWays::kStreamOnly : PollWays::kAll;
      const ProbeOutcome again = probe(Probe{chosen->probe.line, ways});
      if (again.read && alike(again.reading, chosen->reading)) {
        ++chosen->readings;
        chosen->reading = again.reading;
        chosen->lineErrors += again.lineErrors;
      } else {
        readers.erase(chosen);
      }
    }
    return decide(readers);
  }

  static bool confirmed(const ProbeOutcome& reader) { return reader.readings >= 2; }

  // What counts for a verdict: a confirmed reading; once the scan was
  // stopped, also a request's reply (a stream still needs its two frames).
  bool established(const ProbeOutcome& reader) const {
    return confirmed(reader) ||
           (ended() && reader.read && reader.reading.acquisitionMode != AcquisitionMode::kStream);
  }

  static std::size_t framingRank(const Framing& framing) {
    return static_cast<std::size_t>(
        std::find(std::begin(kScanFramings), std::end(kScanFramings), framing) -
        std::begin(kScanFramings));
  }

  // The first in `readers` (in framing order) read without line errors,
  // else the first.
  static std::vector<ProbeOutcome>::iterator choose(std::vector<ProbeOutcome>& readers) {
    const auto cleanOne = std::find_if(readers.begin(), readers.end(),
                                       [](const ProbeOutcome& r) { return r.lineErrors.clean(); });
    return cleanOne != readers.end() ? cleanOne : readers.begin();
  }

  // The choice among `readers`, of those established (the first choice
  // may not be, when the scan was stopped); the others read alike.
  bool decide(const std::vector<ProbeOutcome>& readers) {
    std::vector<ProbeOutcome> counted;
    std::copy_if(readers.begin(), readers.end(), std::back_inserter(counted),
                 [this](const ProbeOutcome& reader) { return established(reader); });
    const auto chosen = choose(counted);
    if (chosen == counted.end()) return false;
    result_.found = true;
    result_.verdict.line = chosen->probe.line;
    result_.verdict.reading = chosen->reading;
    result_.verdict.clean = chosen->lineErrors.clean();
    result_.verdict.alike.clear();
    for (const ProbeOutcome& other : readers) {
      if (!(other.probe.line == chosen->probe.line)) result_.verdict.alike.push_back(other);
    }
    return true;
  }

  ScaleLink& link_;
  ScanListener& listener_;
  LatchedStop stop_;
  const bool serial_;
  std::vector<ProbeOutcome> tried_;
  std::int32_t alignedRate_ = 0;  // of the last probe, when it read
  ScanResult result_;
};

}  // namespace

ScanResult scanLineSettings(ScaleLink& link, ScanListener& listener, ScanPlan plan) {
  Scan scan(link, listener);
  return scan.run(plan);
}

}  // namespace scalecheck
