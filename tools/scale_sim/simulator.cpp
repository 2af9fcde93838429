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

// The -v log says at most once a second how much a way garbled.
constexpr Nanos kGarblingReportPeriod = kNanosPerSecond;

void addTo(LineTally& total, const LineTally& more) {
  total.received += more.received;
  total.garbled += more.garbled;
  total.errors = static_cast<std::uint8_t>(total.errors | more.errors);
}

// "garbled toward the checker: 3 of 18 bytes (parity, framing errors)"
std::string garblingLine(const char* way, const LineTally& tally) {
  std::string flags;
  for (const auto& [bit, name] :
       {std::pair{line_error::kParity, "parity"}, std::pair{line_error::kFraming, "framing"},
        std::pair{line_error::kBreak, "break"}}) {
    if ((tally.errors & bit) == 0) continue;
    flags += (flags.empty() ? " (" : ", ") + std::string(name);
  }
  if (!flags.empty()) flags += " errors)";
  return std::string("garbled ") + way + ": " + std::to_string(tally.garbled) + " of " +
         std::to_string(tally.received) + " bytes" + flags;
}

}  // namespace

Simulator::Simulator(const SimOptions& options, std::vector<std::string> rawFrames, Nanos start,
                     SimulatorEvents& events)
    : options_(options),
      state_{options.frame, options.fault, false},
      frames_(options.frameTemplate, std::move(rawFrames)),
      protocol_(options.kind, timingOf(options), frames_),
      line_(options.line, options.noise, options.noiseSeed, options.strict),
      events_(events),
      reportFrom_(start) {
  if (options.pauseAfterMs >= 0) {
    pauseAt_ = start + millis(options.pauseAfterMs);
    if (options.pauseForMs >= 0) resumeAt_ = *pauseAt_ + millis(options.pauseForMs);
  }
}

void Simulator::setPeerLine(const UartSettings& peer, Nanos now) {
  if (peer == line_.peer()) return;
  line_.setPeer(peer);
  if (!options_.verbose) return;
  events_.activity(now,
                   "the checker's line is " + describeLine(peer) +
                       (peer == options_.line ? ", as the scale's"
                                              : "; the scale's is " + describeLine(options_.line)));
}

void Simulator::receive(std::string_view bytes, Nanos now) {
  runSchedule(now);
  line_.carry(bytes, now);
  hearArrived(now);
  noteGarbling(now);
}

// What the scale's UART has made of the checker's bytes by `now`, each
// heard at the moment it was complete.
void Simulator::hearArrived(Nanos now) {
  for (const Heard& heard : line_.takeHeard(now)) hear(heard.bytes, heard.at);
}

void Simulator::hear(std::string_view bytes, Nanos at) {
  if (options_.verbose) events_.activity(at, "heard " + quoted(bytes));
  for (Emission& emission : protocol_.receive(bytes, at, state_)) {
    if (options_.verbose) {
      events_.activity(at, "answers " + quoted(emission.bytes) + " after " +
                               std::to_string((emission.notBefore - at) / kNanosPerMilli) + " ms");
    }
    line_.send(emission.notBefore, emission.bytes, at);
  }
}

std::string Simulator::takeDue(Nanos now) {
  runSchedule(now);
  hearArrived(now);
  queueStreamFrame(now);
  std::string due = line_.takeDue(now);
  queueStreamFrame(now);
  noteGarbling(now);
  return due;
}

std::uint8_t Simulator::takeLineErrors() {
  const std::uint8_t errors = lineErrors_;
  lineErrors_ = 0;
  return errors;
}

void Simulator::noteGarbling(Nanos now) {
  const LineTally toPeer = line_.takeTallyToPeer();
  lineErrors_ = static_cast<std::uint8_t>(lineErrors_ | toPeer.errors);
  addTo(toPeerTally_, toPeer);
  addTo(fromPeerTally_, line_.takeTallyFromPeer());
  if (now - reportFrom_ < kGarblingReportPeriod) return;
  if (options_.verbose) {
    if (toPeerTally_.garbled > 0)
      events_.activity(now, garblingLine("toward the checker", toPeerTally_));
    if (fromPeerTally_.garbled > 0)
      events_.activity(now, garblingLine("toward the scale", fromPeerTally_));
  }
  toPeerTally_ = LineTally{};
  fromPeerTally_ = LineTally{};
  reportFrom_ = now;
}

void Simulator::queueStreamFrame(Nanos now) {
  if (!line_.idle()) return;
  const std::optional<Nanos> start = protocol_.streamFrameStart(line_.lineFreeAt(now), state_);
  if (!start || *start > now) return;
  const Emission frame = protocol_.streamFrame(*start, state_);
  if (options_.verbose && frame.bytes != lastStreamFrame_) {
    events_.activity(now, "streams " + quoted(frame.bytes));
    lastStreamFrame_ = frame.bytes;
  }
  line_.send(frame.notBefore, frame.bytes, now);
}

std::optional<Nanos> Simulator::nextWake(Nanos now) const {
  std::optional<Nanos> wake = line_.nextDue();
  std::optional<Nanos> stream;
  if (line_.idle()) stream = protocol_.streamFrameStart(line_.lineFreeAt(now), state_);
  // Garbling is told within its second even when nothing else happens.
  std::optional<Nanos> report;
  if (options_.verbose && toPeerTally_.garbled + fromPeerTally_.garbled > 0) {
    report = reportFrom_ + kGarblingReportPeriod;
  }
  for (const std::optional<Nanos>& change :
       {stream, line_.nextHeard(), report, pauseAt_, resumeAt_}) {
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
  line_.clear();
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
  if (state_.quiet()) line_.clear();
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
