#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fakes/fake_serial.h"
#include "simulator.h"

namespace scalecheck::testing {

// The simulated scale behind a fake serial device, the bytes of both ways
// crossing the UART model on the device's virtual clock: the scale at its
// own line settings, the checker at those the code under test last applied
// to the port. What the model's receiver noticed shows in the port's error
// word, as Windows reports it.
class LineModelScale : public SerialPeer, private sim::SimulatorEvents {
 public:
  LineModelScale(FakeSerialDevice& device, sim::ScaleKind kind, const sim::UartSettings& line);
  // A scale of any options (kind, line, frames, interval, fault, noise), its
  // frames from `rawFrames` in turn when there are any.
  LineModelScale(FakeSerialDevice& device, const sim::SimOptions& options,
                 std::vector<std::string> rawFrames = {});
  ~LineModelScale() override;
  LineModelScale(const LineModelScale&) = delete;
  LineModelScale& operator=(const LineModelScale&) = delete;

  void catchUp(std::uint64_t now) override;
  std::uint64_t nextEvent() const override;

 private:
  void activity(sim::Nanos, const std::string&) override {}
  void scheduledPause(bool) override {}
  void followChecker(sim::Nanos now);
  void deliver(sim::Nanos now);
  void written(const std::string& bytes);

  FakeSerialDevice& device_;
  sim::Simulator simulator_;
  sim::Nanos simulatedTo_;
};

}  // namespace scalecheck::testing
