#include "checker_output.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace scalecheck::soak {
namespace {

bool readFile(const std::string& path, std::string& text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

int countOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos;
       at = text.find(part, at + part.size())) {
    ++count;
  }
  return count;
}

// The number after `label` at or after `from`; -1 when there is none.
long numberAfter(const std::string& text, std::size_t from, const std::string& label) {
  const std::size_t at = text.find(label, from);
  if (at == std::string::npos) return -1;
  char* end = nullptr;
  const char* start = text.c_str() + at + label.size();
  const long value = std::strtol(start, &end, 10);
  return end == start ? -1 : value;
}

}  // namespace

int countLogRecords(const std::string& path) {
  std::string text;
  return readFile(path, text) ? countOf(text, "\r\n") : -1;
}

int countDumpBlocks(const std::string& path) {
  std::string text;
  // "ST,GS,+  1.234kg": each block holds one frame's ",GS," (a streamed
  // block, 21 bytes, also the start of the next frame, too short for it).
  return readFile(path, text) ? countOf(text, ",GS,") : -1;
}

bool parseSummary(const std::string& screen, int& polls, int& readings) {
  const std::string label = "Опросов: ";
  const std::size_t at = screen.rfind(label);
  if (at == std::string::npos) return false;
  const long pollCount = numberAfter(screen, at, label);
  const long readingCount = numberAfter(screen, at, "показаний: ");
  if (pollCount < 0 || readingCount < 0) return false;
  polls = static_cast<int>(pollCount);
  readings = static_cast<int>(readingCount);
  return true;
}

}  // namespace scalecheck::soak
