#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "faults.h"
#include "scale_state.h"

namespace scalecheck::sim {

// Where the frames the scale sends come from: the template filled with what
// the scale shows, or the raw frames of a file in turn, cycling. Every frame
// is then changed by the fault in force.
class FrameSource {
 public:
  // `rawFrames` empty: frames come from `frameTemplate`, which the options
  // have already checked.
  FrameSource(std::string frameTemplate, std::vector<std::string> rawFrames);

  std::string next(const ScaleState& state);

 private:
  std::string plainFrame(const FrameFields& fields);

  std::string template_;
  std::vector<std::string> rawFrames_;
  std::size_t nextRaw_ = 0;
  GarbageSource garbage_;
};

}  // namespace scalecheck::sim
