#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control_command.h"
#include "frame_source.h"
#include "scale_line.h"
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
// the faults, the pause schedule and the serial line to the checker, all
// driven by the times the caller passes in. The event loop feeds it what
// the link receives and writes what it hands out.
class Simulator {
 public:
  Simulator(const SimOptions& options, std::vector<std::string> rawFrames, Nanos start,
            SimulatorEvents& events);

  // The line settings of the checker's end, as the link shows them at
  // `now`; until told, they are taken to match the scale's.
  void setPeerLine(const UartSettings& peer, Nanos now);

  // Bytes the checker wrote, there at `now`.
  void receive(std::string_view bytes, Nanos now);

  // The bytes that reach the checker by `now`, and the stream's next frame
  // queued.
  std::string takeDue(Nanos now);

  // The line errors (line_error bits) of the bytes takeDue handed out
  // since the last call, as a driver reports them.
  std::uint8_t takeLineErrors();

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
  void hearArrived(Nanos now);
  void hear(std::string_view bytes, Nanos at);
  void queueStreamFrame(Nanos now);
  void dropOutputIfQuiet();
  void noteGarbling(Nanos now);

  SimOptions options_;
  ScaleState state_;
  FrameSource frames_;
  ScaleProtocol protocol_;
  ScaleLine line_;
  SimulatorEvents& events_;
  std::uint8_t lineErrors_ = 0;  // not taken yet
  LineTally toPeerTally_;        // since reportFrom_
  LineTally fromPeerTally_;
  Nanos reportFrom_;
  std::optional<Nanos> pauseAt_;
  std::optional<Nanos> resumeAt_;
  std::string lastStreamFrame_;  // logged once, and again when it changes
};

}  // namespace scalecheck::sim
