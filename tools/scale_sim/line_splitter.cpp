#include "line_splitter.h"

namespace scalecheck::sim {

void LineSplitter::feed(std::string_view bytes, std::vector<std::string>& lines) {
  for (char c : bytes) {
    if (c == '\n') {
      if (!skipping_) lines.push_back(partial_);
      partial_.clear();
      skipping_ = false;
    } else if (skipping_) {
      continue;
    } else if (partial_.size() == kMaxLineLength) {
      lines.push_back(partial_);
      partial_.clear();
      skipping_ = true;
    } else {
      partial_.push_back(c);
    }
  }
}

}  // namespace scalecheck::sim
