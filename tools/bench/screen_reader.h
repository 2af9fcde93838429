#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace scalecheck::bench {

// A line of the poll loop as the operator sees it appear: a reading
// ("  AD, Ст[1,234] кг") or a failed poll (" 110Нет данных от весов.").
struct ShownLine {
  double atMs = 0.0;  // when its start had arrived
  bool reading = false;
  std::string tag;  // a reading's way ("~22", "AD", "ad"), or a failure's code
};

// Reads the checker's terminal output as it arrives and picks out the poll
// loop's lines. Terminal control sequences (Wine's console writes them
// between the characters) are taken out first; a cursor move to the right
// counts as the blanks it passes over.
class ScreenReader {
 public:
  // Bytes that arrived at `atMs`.
  void add(const std::string& bytes, double atMs);

  const std::vector<ShownLine>& lines() const { return lines_; }
  // What the screen shows so far, UTF-8, without CRs or control sequences.
  const std::string& text() const { return text_; }

 private:
  void strip(char byte);
  void endSequence(char final);
  void scan(double atMs);

  enum class State { kText, kEscape, kCsi, kOsc, kOscEscape, kCharset };
  State state_ = State::kText;
  std::string parameters_;  // of the control sequence being read
  std::string text_;
  std::size_t scanned_ = 0;  // text_ before this holds no unfinished line start
  std::vector<ShownLine> lines_;
};

}  // namespace scalecheck::bench
