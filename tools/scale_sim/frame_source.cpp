#include "frame_source.h"

#include "frame_format.h"

namespace scalecheck::sim {

FrameSource::FrameSource(std::string frameTemplate, std::vector<std::string> rawFrames)
    : template_(std::move(frameTemplate)), rawFrames_(std::move(rawFrames)) {}

std::string FrameSource::plainFrame(const FrameFields& fields) {
  if (!rawFrames_.empty()) {
    const std::string& frame = rawFrames_[nextRaw_];
    nextRaw_ = (nextRaw_ + 1) % rawFrames_.size();
    return frame;
  }
  std::string frame;
  std::string error;
  // Only placeholders and escapes can fail, and the options checked them.
  if (!renderFrame(template_, fields, frame, error)) return std::string();
  return frame;
}

std::string FrameSource::next(const ScaleState& state) {
  return applyFault(plainFrame(state.frame), state.fault, garbage_);
}

}  // namespace scalecheck::sim
