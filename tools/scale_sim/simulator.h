#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control_command.h"
#include "frame_source.h"
#include "line_pacer.h"
#include "scale_protocol.h"
#include "scale_state.h"
#include "sim_options.h"
#include "sim_time.h"

namespace scalecheck::sim {

// What the simulator tells the world besides the bytes it sends.
class SimulatorEvents {
 public:
  virtual ~SimulatorEvents() = default;
  // One line of the -v log: what was heard or answered.
  virtual void activity(Nanos when, const std::string& text) = 0;
  // The --pause-after schedule paused (true) or resumed (false) the scale.
  virtual void scheduledPause(bool paused) = 0;
};

// The whole scale without the operating system: the protocol, the frames,
// the faults, the pause schedule and the pace of the line, all driven by the
// times the caller passes in. The event loop feeds it what the link
// receives and writes what it hands out.
class Simulator {
 public:
  Simulator(const SimOptions& options, std::vector<std::string> rawFrames, Nanos start,
            SimulatorEvents& events);

  // Bytes the link received at `now`.
  void receive(std::string_view bytes, Nanos now);

  // The bytes to write at `now`, and the stream's next frame queued.
  std::string takeDue(Nanos now);

  // When takeDue has something to do next, seen at `now`; nothing while
  // there is no output and no scheduled pause ahead.
  std::optional<Nanos> nextWake(Nanos now) const;

  // A client connected or left: a request half made is forgotten and what
  // was queued for the old client is dropped.
  void peerChanged();

  // True when this changed the state.
  bool setPaused(bool paused);

  // Applies a control command other than quit. False, with `error` set,
  // when it cannot (a weight whose frame a reader could not take).
  bool apply(const ControlCommand& command, std::string& error);

  const ScaleState& state() const { return state_; }

 private:
  void runSchedule(Nanos now);
  void queueStreamFrame(Nanos now);
  void dropOutputIfQuiet();

  SimOptions options_;
  ScaleState state_;
  FrameSource frames_;
  ScaleProtocol protocol_;
  LinePacer pacer_;
  SimulatorEvents& events_;
  std::optional<Nanos> pauseAt_;
  std::optional<Nanos> resumeAt_;
  std::string lastStreamFrame_;  // logged once, and again when it changes
};

}  // namespace scalecheck::sim
