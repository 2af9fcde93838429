#include "scale_line.h"

namespace scalecheck::sim {
namespace {

// Each way has its own noise, so that what one way flips does not depend on
// how much the other carried.
constexpr std::uint64_t kSecondStream = 0x9E3779B97F4A7C15ULL;

std::string maskedTo(std::string_view bytes, const UartSettings& line) {
  std::string kept(bytes);
  for (char& byte : kept)
    byte = static_cast<char>(static_cast<std::uint8_t>(byte) & line.dataMask());
  return kept;
}

std::optional<Nanos> earliest(std::optional<Nanos> a, std::optional<Nanos> b) {
  if (!a) return b;
  if (!b) return a;
  return std::min(*a, *b);
}

}  // namespace

ScaleLine::ScaleLine(const UartSettings& scale, double bitErrorRate, std::uint64_t seed,
                     bool strict)
    : scale_(scale),
      peer_(scale),
      noisy_(bitErrorRate > 0.0),
      strict_(strict),
      pacer_(scale.baud, scale.bitsPerCharacter()),
      toPeer_(BitNoise(bitErrorRate, seed)),
      fromPeer_(BitNoise(bitErrorRate, seed ^ kSecondStream)) {}

void ScaleLine::chooseOutboundPath(Nanos now) {
  // Back to the plain path only once nothing is under way on the model's.
  if (outboundModelled_ && !modelWanted() && pacer_.idle() && toPeer_.quiet(peer_, now)) {
    outboundModelled_ = false;
  }
  if (outboundModelled_ || !modelWanted()) return;
  outboundModelled_ = true;
  // What the scale's UART has queued crosses the model from here on.
  putOnWire(0);
}

void ScaleLine::putOnWire(std::size_t first) {
  const std::deque<LinePacer::PendingByte>& pending = pacer_.pending();
  for (std::size_t i = first; i < pending.size(); ++i) {
    toPeer_.send(static_cast<std::uint8_t>(pending[i].byte), scale_, pending[i].start,
                 pending[i].due - pending[i].start);
  }
}

void ScaleLine::send(Nanos notBefore, std::string_view bytes, Nanos now) {
  chooseOutboundPath(now);
  const std::size_t queuedBefore = pacer_.pending().size();
  pacer_.enqueue(notBefore, bytes, now);
  if (outboundModelled_) putOnWire(queuedBefore);
}

std::string ScaleLine::takeDue(Nanos now) {
  chooseOutboundPath(now);
  // The scale's UART moves on either way; on the model's path its bytes
  // are on the wire already.
  const std::string left = pacer_.takeDue(now);
  if (!outboundModelled_) {
    toPeerTally_.received += left.size();
    return maskedTo(left, scale_);
  }
  std::string reached;
  for (const ReceivedByte& byte : toPeer_.receive(peer_, now)) {
    reached.push_back(static_cast<char>(byte.value));
    count(toPeerTally_, byte);
  }
  return reached;
}

std::optional<Nanos> ScaleLine::nextDue() const {
  if (!outboundModelled_) return pacer_.nextDue();
  return earliest(toPeer_.nextCompletion(peer_), pacer_.nextDue());
}

void ScaleLine::clear() {
  pacer_.clear();
  toPeer_.withdrawUnobserved();
}

void ScaleLine::carry(std::string_view written, Nanos now) {
  if (inboundModelled_ && !modelWanted() && fromPeer_.quiet(scale_, now)) {
    inboundModelled_ = false;
  }
  if (modelWanted()) inboundModelled_ = true;
  if (!inboundModelled_) {
    heard_.push_back(Heard{now, maskedTo(written, scale_)});
    fromPeerTally_.received += written.size();
    return;
  }
  for (char byte : written) fromPeer_.send(static_cast<std::uint8_t>(byte), peer_, now);
}

std::vector<Heard> ScaleLine::takeHeard(Nanos now) {
  std::vector<Heard> heard;
  heard.swap(heard_);
  if (!inboundModelled_) return heard;
  for (const ReceivedByte& byte : fromPeer_.receive(scale_, now)) {
    count(fromPeerTally_, byte);
    if (strict_ && byte.errors != 0) continue;
    heard.push_back(Heard{byte.complete, std::string(1, static_cast<char>(byte.value))});
  }
  return heard;
}

std::optional<Nanos> ScaleLine::nextHeard() const {
  if (!heard_.empty()) return heard_.front().at;
  if (!inboundModelled_) return std::nullopt;
  return fromPeer_.nextCompletion(scale_);
}

LineTally ScaleLine::take(LineTally& tally) {
  const LineTally taken = tally;
  tally = LineTally{};
  return taken;
}

void ScaleLine::count(LineTally& tally, const ReceivedByte& byte) {
  ++tally.received;
  if (byte.garbled) ++tally.garbled;
  tally.errors = static_cast<std::uint8_t>(tally.errors | byte.errors);
}

}  // namespace scalecheck::sim
