#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace scalecheck::sim {

// Cuts the command input into lines. A line longer than kMaxLineLength is
// no command; it comes out as its first kMaxLineLength characters and the
// rest up to its end is skipped, so no amount of input grows memory.
class LineSplitter {
 public:
  static constexpr std::size_t kMaxLineLength = 256;

  // Appends the lines that `bytes` completes to `lines`.
  void feed(std::string_view bytes, std::vector<std::string>& lines);

 private:
  std::string partial_;
  bool skipping_ = false;
};

}  // namespace scalecheck::sim
