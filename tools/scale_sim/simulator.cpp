#include "simulator.h"

#include "escapes.h"
#include "options.h"

namespace scalecheck::sim {
namespace {

ProtocolTiming timingOf(const SimOptions& options) {
  return ProtocolTiming{millis(options.delayMs), millis(options.intervalMs)};
}

std::string quoted(std::string_view bytes) {
  return "\"" + describeBytes(bytes) + "\"";
}

}  // namespace

Simulator::Simulator(const SimOptions& options, std::vector<std::string> rawFrames, Nanos start,
                     SimulatorEvents& events)
    : options_(options),
      state_{options.frame, options.fault, false},
      frames_(options.frameTemplate, std::move(rawFrames), options.line),
      protocol_(options.kind, timingOf(options), frames_),
      pacer_(options.baud),
      events_(events) {
  if (options.pauseAfterMs >= 0) {
    pauseAt_ = start + millis(options.pauseAfterMs);
    if (options.pauseForMs >= 0) resumeAt_ = *pauseAt_ + millis(options.pauseForMs);
  }
}

void Simulator::receive(std::string_view bytes, Nanos now) {
  runSchedule(now);
  if (options_.verbose) events_.activity(now, "heard " + quoted(bytes));
  for (Emission& emission : protocol_.receive(bytes, now, state_)) {
    if (options_.verbose) {
      events_.activity(now, "answers " + quoted(emission.bytes) + " after " +
                                std::to_string((emission.notBefore - now) / kNanosPerMilli) +
                                " ms");
    }
    pacer_.enqueue(emission.notBefore, emission.bytes, now);
  }
}

std::string Simulator::takeDue(Nanos now) {
  runSchedule(now);
  queueStreamFrame(now);
  std::string due = pacer_.takeDue(now);
  queueStreamFrame(now);
  return due;
}

void Simulator::queueStreamFrame(Nanos now) {
  if (!pacer_.idle()) return;
  const std::optional<Nanos> start = protocol_.streamFrameStart(pacer_.lineFreeAt(now), state_);
  if (!start || *start > now) return;
  const Emission frame = protocol_.streamFrame(*start, state_);
  if (options_.verbose && frame.bytes != lastStreamFrame_) {
    events_.activity(now, "streams " + quoted(frame.bytes));
    lastStreamFrame_ = frame.bytes;
  }
  pacer_.enqueue(frame.notBefore, frame.bytes, now);
}

std::optional<Nanos> Simulator::nextWake(Nanos now) const {
  std::optional<Nanos> wake = pacer_.nextDue();
  if (pacer_.idle()) wake = protocol_.streamFrameStart(pacer_.lineFreeAt(now), state_);
  for (const std::optional<Nanos>& change : {pauseAt_, resumeAt_}) {
    if (change && (!wake || *change < *wake)) wake = change;
  }
  return wake;
}

void Simulator::runSchedule(Nanos now) {
  if (pauseAt_ && now >= *pauseAt_) {
    pauseAt_.reset();
    if (setPaused(true)) events_.scheduledPause(true);
  }
  if (!pauseAt_ && resumeAt_ && now >= *resumeAt_) {
    resumeAt_.reset();
    if (setPaused(false)) events_.scheduledPause(false);
  }
}

void Simulator::peerChanged() {
  protocol_.forget();
  pacer_.clear();
}

bool Simulator::setPaused(bool paused) {
  if (state_.paused == paused) return false;
  state_.paused = paused;
  protocol_.forget();
  dropOutputIfQuiet();
  lastStreamFrame_.clear();
  return true;
}

void Simulator::dropOutputIfQuiet() {
  // A scale that falls silent stops in the middle of what it was sending.
  if (state_.quiet()) pacer_.clear();
}

bool Simulator::apply(const ControlCommand& command, std::string& error) {
  switch (command.kind) {
    case CommandKind::kPause:
    case CommandKind::kResume:
      setPaused(command.kind == CommandKind::kPause);
      return true;
    case CommandKind::kWeight: {
      FrameFields changed = state_.frame;
      changed.weight = command.weight;
      if (!frameFitsReader(options_, changed, error)) return false;
      state_.frame = changed;
      return true;
    }
    case CommandKind::kStable:
    case CommandKind::kUnstable:
      state_.frame.stable = command.kind == CommandKind::kStable;
      return true;
    case CommandKind::kUnit:
      state_.frame.unit = command.unit;
      return true;
    case CommandKind::kFault:
      state_.fault = command.fault;
      dropOutputIfQuiet();
      return true;
    case CommandKind::kQuit:
      break;
  }
  return true;
}

}  // namespace scalecheck::sim
