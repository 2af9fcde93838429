#pragma once

#include "sim_options.h"

namespace scalecheck::sim {

// What the scale shows and how it misbehaves; the control commands and
// signals change it while the simulator runs.
struct ScaleState {
  FrameFields frame;
  Fault fault = Fault::kNone;
  bool paused = false;

  // A paused or silent scale sends nothing and hears nothing.
  bool quiet() const { return paused || fault == Fault::kSilence; }
};

}  // namespace scalecheck::sim
