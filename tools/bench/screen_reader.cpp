#include "screen_reader.h"

#include <cstdlib>

namespace scalecheck::bench {
namespace {

constexpr char kEscape = '\x1b';
constexpr char kBell = '\x07';
// A reading line starts with two blanks, its way and a comma.
const char* const kReadingTags[] = {"~22", "AD", "ad"};
// A failure shows a blank, its code and the message, which starts with a
// Cyrillic letter: in UTF-8 a byte of 0x80 or more.
constexpr std::size_t kMostCodeDigits = 6;

enum class Match { kNone, kUnfinished, kFound };

bool isDigit(char byte) {
  return byte >= '0' && byte <= '9';
}

// Whether `text` from `at` starts `pattern`, ends before it could, or not.
Match matchText(const std::string& text, std::size_t at, const std::string& pattern) {
  const std::size_t have = text.size() - at;
  const std::size_t length = have < pattern.size() ? have : pattern.size();
  if (text.compare(at, length, pattern, 0, length) != 0) return Match::kNone;
  return length == pattern.size() ? Match::kFound : Match::kUnfinished;
}

Match matchReading(const std::string& text, std::size_t at, std::string& tag, std::size_t& length) {
  Match best = Match::kNone;
  for (const char* candidate : kReadingTags) {
    const std::string pattern = std::string("  ") + candidate + ", ";
    const Match match = matchText(text, at, pattern);
    if (match == Match::kFound) {
      tag = candidate;
      length = pattern.size();
      return match;
    }
    if (match == Match::kUnfinished) best = match;
  }
  return best;
}

Match matchFailure(const std::string& text, std::size_t at, std::string& code,
                   std::size_t& length) {
  if (text[at] != ' ') return Match::kNone;
  std::size_t end = at + 1;
  if (end < text.size() && text[end] == '-') ++end;
  const std::size_t digits = end;
  while (end < text.size() && isDigit(text[end]) && end - digits < kMostCodeDigits) ++end;
  if (end == text.size()) return Match::kUnfinished;
  if (end == digits || static_cast<unsigned char>(text[end]) < 0x80) return Match::kNone;
  code = text.substr(at + 1, end - at - 1);
  length = end - at;
  return Match::kFound;
}

}  // namespace

void ScreenReader::add(const std::string& bytes, double atMs) {
  for (char byte : bytes) strip(byte);
  scan(atMs);
}

void ScreenReader::strip(char byte) {
  switch (state_) {
    case State::kText:
      if (byte == kEscape) {
        state_ = State::kEscape;
      } else if (byte != '\r') {
        text_ += byte;
      }
      return;
    case State::kEscape:
      parameters_.clear();
      state_ = byte == '['                    ? State::kCsi
               : byte == ']'                  ? State::kOsc
               : (byte == '(' || byte == ')') ? State::kCharset
                                              : State::kText;
      return;
    case State::kCsi:
      // Parameters and intermediates run from 0x20 to 0x3f; the final
      // byte is 0x40 to 0x7e.
      if (byte >= '@' && byte <= '~') {
        endSequence(byte);
      } else {
        parameters_ += byte;
      }
      return;
    case State::kOsc:
      if (byte == kBell) state_ = State::kText;
      if (byte == kEscape) state_ = State::kOscEscape;
      return;
    case State::kOscEscape:  // ESC \ ends it
    case State::kCharset:    // the character set's name
      state_ = State::kText;
      return;
  }
}

void ScreenReader::endSequence(char final) {
  state_ = State::kText;
  if (final != 'C') return;
  // Cursor forward: the blanks it passes over, 1 when no count is given.
  const long count = parameters_.empty() ? 1 : std::strtol(parameters_.c_str(), nullptr, 10);
  if (count > 0 && count < 1000) text_.append(static_cast<std::size_t>(count), ' ');
}

void ScreenReader::scan(double atMs) {
  while (scanned_ < text_.size()) {
    ShownLine line;
    line.atMs = atMs;
    std::size_t length = 0;
    Match match = matchReading(text_, scanned_, line.tag, length);
    line.reading = match == Match::kFound;
    if (match == Match::kNone) match = matchFailure(text_, scanned_, line.tag, length);
    if (match == Match::kUnfinished) return;  // the rest has not come yet
    if (match == Match::kFound) {
      lines_.push_back(line);
      scanned_ += length;
    } else {
      ++scanned_;
    }
  }
}

}  // namespace scalecheck::bench
