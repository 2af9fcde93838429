#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "program_texts.h"

namespace scalecheck::e2e {

// The texts the program writes, shared with the unit tests.
using testing::kAskPort;
using testing::kBadOption;
using testing::kBadPort;
using testing::kBanner;
using testing::kCombinedTag;
using testing::kNoData;
using testing::kPortNotOpened;
using testing::kStreamTag;
using testing::kTitle;
using testing::kTwoStepTag;
using testing::kUnknownStream;
using testing::recordsLost;

// The Windows-1251 bytes of a UTF-8 text made of ASCII and Russian letters,
// worked out here without the program's own table: А..я are 0xC0..0xFF, Ё
// and ё 0xA8 and 0xB8. Anything else becomes '?', which no file should hold.
inline std::string toCp1251(const std::string& utf8) {
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      bytes += static_cast<char>(lead);
      continue;
    }
    if ((lead & 0xE0) != 0xC0 || i + 1 >= utf8.size()) {
      bytes += '?';
      continue;
    }
    const unsigned code = ((lead & 0x1FU) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3FU);
    if (code >= 0x410 && code <= 0x44F) {
      bytes += static_cast<char>(0xC0 + (code - 0x410));
    } else if (code == 0x401 || code == 0x451) {
      bytes += static_cast<char>(code == 0x401 ? 0xA8 : 0xB8);
    } else {
      bytes += '?';
    }
  }
  return bytes;
}

// Cuts `text` into `known` pieces, each time the longest that fits. True
// when all of it is made of them; otherwise `rest` holds the text from the
// first byte that starts none of them.
inline bool cutIntoPieces(const std::string& text, const std::vector<std::string>& known,
                          std::vector<std::string>& pieces, std::string& rest) {
  pieces.clear();
  std::size_t at = 0;
  while (at < text.size()) {
    const std::string* match = nullptr;
    for (const std::string& piece : known) {
      if (!piece.empty() && text.compare(at, piece.size(), piece) == 0 &&
          (match == nullptr || piece.size() > match->size())) {
        match = &piece;
      }
    }
    if (match == nullptr) {
      rest = text.substr(at);
      return false;
    }
    pieces.push_back(*match);
    at += match->size();
  }
  rest.clear();
  return true;
}

// What every polling run ends with: its summary line, then the line break
// that ends the program's output. Cuts it off `screen` into `summary`;
// false when the screen does not end so.
inline bool cutSummary(std::string& screen, std::string& summary) {
  const std::size_t at = screen.rfind("\r\nОпросов: ");
  if (at == std::string::npos || screen.compare(screen.size() - 3, 3, ".\r\n") != 0) return false;
  summary = screen.substr(at);
  screen.erase(at);
  return true;
}

// How the summary of a run that showed `pieces` (reading lines and error
// texts) begins: the polls and the readings among them.
inline std::string summaryStart(const std::vector<std::string>& pieces) {
  const auto readings = std::count_if(pieces.begin(), pieces.end(), [](const std::string& piece) {
    return piece.compare(0, 2, "  ") == 0;
  });
  return "\r\nОпросов: " + std::to_string(pieces.size()) +
         ", показаний: " + std::to_string(readings);
}

// The pieces with each run of equal ones shown once: how many polls fall
// into a stretch of the test may vary with the machine's speed, what comes
// after what may not.
inline std::vector<std::string> withoutRepeats(const std::vector<std::string>& pieces) {
  std::vector<std::string> runs;
  for (const std::string& piece : pieces) {
    if (runs.empty() || runs.back() != piece) runs.push_back(piece);
  }
  return runs;
}

}  // namespace scalecheck::e2e
