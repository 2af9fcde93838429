#include "scale_protocol.h"

namespace scalecheck::sim {

ScaleProtocol::ScaleProtocol(ScaleKind kind, ProtocolTiming timing, FrameSource& frames)
    : kind_(kind), timing_(timing), frames_(frames) {}

std::vector<Emission> ScaleProtocol::receive(std::string_view bytes, Nanos now,
                                             const ScaleState& state) {
  std::vector<Emission> out;
  if (state.quiet()) {
    forget();
    return out;
  }
  for (char byte : bytes) {
    if (byte == kEnq) onEnq(now, state, out);
    if (byte == kDc1) onDc1(now, state, out);
  }
  return out;
}

void ScaleProtocol::onEnq(Nanos now, const ScaleState& state, std::vector<Emission>& out) {
  if (kind_ == ScaleKind::kTwoStep) {
    // A NAK says "not ready": the DC1 that may follow goes unanswered.
    const bool refuse = state.fault == Fault::kNak;
    out.push_back(answer(now, std::string(1, refuse ? kNak : kAck)));
    enqAcknowledged_ = !refuse;
  } else if (kind_ == ScaleKind::kCombined) {
    enqTime_ = now;  // no answer yet: only a DC1 right behind it completes the request
  }
}

void ScaleProtocol::onDc1(Nanos now, const ScaleState& state, std::vector<Emission>& out) {
  if (kind_ == ScaleKind::kTwoStep) {
    if (enqAcknowledged_) out.push_back(answer(now, frames_.next(state)));
    enqAcknowledged_ = false;
  } else if (kind_ == ScaleKind::kCombined) {
    const bool together = enqTime_ && now - *enqTime_ <= kCombineWindow;
    enqTime_.reset();
    if (!together) return;
    // A combined scale has no ACK to replace; it refuses the request instead.
    out.push_back(
        answer(now, state.fault == Fault::kNak ? std::string(1, kNak) : frames_.next(state)));
  }
}

Emission ScaleProtocol::answer(Nanos now, std::string bytes) const {
  return Emission{now + timing_.responseDelay, std::move(bytes)};
}

std::optional<Nanos> ScaleProtocol::streamFrameStart(Nanos lineFree,
                                                     const ScaleState& state) const {
  if (kind_ != ScaleKind::kStream || state.quiet()) return std::nullopt;
  // Frame starts keep to a fixed rhythm from the first one, unless a frame
  // takes longer than the interval; then the rhythm starts again.
  if (timing_.streamInterval > 0 && nextStreamStart_ && *nextStreamStart_ > lineFree) {
    return nextStreamStart_;
  }
  return lineFree;
}

Emission ScaleProtocol::streamFrame(Nanos start, const ScaleState& state) {
  if (timing_.streamInterval > 0) nextStreamStart_ = start + timing_.streamInterval;
  return Emission{start, frames_.next(state)};
}

void ScaleProtocol::forget() {
  enqAcknowledged_ = false;
  enqTime_.reset();
  nextStreamStart_.reset();
}

}  // namespace scalecheck::sim
