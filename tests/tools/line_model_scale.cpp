#include "tools/line_model_scale.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "uart_line.h"

namespace scalecheck::testing {
namespace {

sim::Nanos nanos(std::uint64_t milliseconds) {
  return sim::millis(static_cast<std::int64_t>(milliseconds));
}

// The device's clock counts whole milliseconds: a byte arrives at the first
// one that has seen it complete.
std::uint64_t millisecondOf(sim::Nanos time) {
  return static_cast<std::uint64_t>((time + sim::kNanosPerMilli - 1) / sim::kNanosPerMilli);
}

sim::SimOptions optionsFor(sim::ScaleKind kind, const sim::UartSettings& line) {
  sim::SimOptions options;
  options.kind = kind;
  options.line = line;
  return options;
}

// The line as the code under test last set it on the port; none before it
// has set a rate.
std::optional<sim::UartSettings> lineOf(const platform::CommState& state) {
  if (state.baudRate == 0 || state.byteSize < 5 || state.byteSize > 8 || state.parity > 4) {
    return std::nullopt;
  }
  sim::UartSettings line;
  line.baud = state.baudRate;
  line.dataBits = state.byteSize;
  line.parity = static_cast<sim::Parity>(state.parity);  // the same codes: none, odd, even...
  line.stopBits = state.stopBits == 2 ? 2 : 1;
  return line;
}

std::uint32_t commErrors(std::uint8_t lineErrors) {
  std::uint32_t errors = 0;
  if ((lineErrors & sim::line_error::kParity) != 0) errors |= platform::kCommErrorParity;
  if ((lineErrors & sim::line_error::kFraming) != 0) errors |= platform::kCommErrorFrame;
  if ((lineErrors & sim::line_error::kBreak) != 0) errors |= platform::kCommErrorBreak;
  return errors;
}

}  // namespace

LineModelScale::LineModelScale(FakeSerialDevice& device, sim::ScaleKind kind,
                               const sim::UartSettings& line)
    : LineModelScale(device, optionsFor(kind, line)) {}

LineModelScale::LineModelScale(FakeSerialDevice& device, const sim::SimOptions& options,
                               std::vector<std::string> rawFrames)
    : device_(device),
      simulator_(options, std::move(rawFrames), nanos(device.clock().now()), *this),
      simulatedTo_(nanos(device.clock().now())) {
  device_.peer = this;
  device_.onWrite = [this](const std::string& bytes) { written(bytes); };
}

LineModelScale::~LineModelScale() {
  device_.peer = nullptr;
  device_.onWrite = nullptr;
}

void LineModelScale::followChecker(sim::Nanos now) {
  if (const std::optional<sim::UartSettings> checker = lineOf(device_.state)) {
    simulator_.setPeerLine(*checker, now);
  }
}

void LineModelScale::deliver(sim::Nanos now) {
  const std::string bytes = simulator_.takeDue(now);
  const std::uint32_t errors = commErrors(simulator_.takeLineErrors());
  if (!bytes.empty()) device_.arriveAt(millisecondOf(now), bytes, 0, errors);
}

void LineModelScale::catchUp(std::uint64_t now) {
  const sim::Nanos until = nanos(now);
  followChecker(until);
  for (std::optional<sim::Nanos> wake = simulator_.nextWake(simulatedTo_); wake && *wake <= until;
       wake = simulator_.nextWake(simulatedTo_)) {
    simulatedTo_ = std::max(simulatedTo_, *wake);
    deliver(simulatedTo_);
  }
  simulatedTo_ = std::max(simulatedTo_, until);
  deliver(simulatedTo_);
}

std::uint64_t LineModelScale::nextEvent() const {
  const std::optional<sim::Nanos> wake = simulator_.nextWake(simulatedTo_);
  if (!wake) return std::numeric_limits<std::uint64_t>::max();
  // Never the present: a device waiting for it would not move on.
  return std::max(millisecondOf(*wake), device_.clock().now() + 1);
}

// The checker's bytes leave its UART at its rate: the write's transmitter
// empties when the last has gone.
void LineModelScale::written(const std::string& bytes) {
  const std::uint64_t now = device_.clock().now();
  catchUp(now);
  simulator_.receive(bytes, nanos(now));
  if (const std::optional<sim::UartSettings> checker = lineOf(device_.state)) {
    const std::uint64_t bits = bytes.size() * checker->bitsPerCharacter();
    device_.transmitterEmptyAt = now + (bits * 1000 + checker->baud - 1) / checker->baud;
  }
}

}  // namespace scalecheck::testing
