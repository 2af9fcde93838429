#include "frames_file.h"

#include <fstream>

#include "escapes.h"

namespace scalecheck::sim {
namespace {

// Far beyond any scale frame; they keep a mistaken path (a device, a large
// file) from being read into memory without end.
constexpr std::size_t kMaxLineLength = 1024;
constexpr std::size_t kMaxFrames = 10000;

bool fail(std::string& error, const std::string& path, std::size_t line, const std::string& why) {
  error = path + ":" + std::to_string(line) + ": " + why;
  return false;
}

// getline without a length bound would read a file without line ends whole.
bool readLine(std::istream& in, std::string& line, bool& tooLong) {
  line.clear();
  tooLong = false;
  char c = 0;
  bool any = false;
  while (in.get(c)) {
    any = true;
    if (c == '\n') return true;
    if (line.size() == kMaxLineLength) {
      tooLong = true;
      return true;
    }
    line.push_back(c);
  }
  return any;
}

}  // namespace

bool loadFrames(const std::string& path, std::vector<std::string>& frames, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::vector<std::string> loaded;
  std::string line;
  bool tooLong = false;
  std::size_t number = 0;
  while (readLine(in, line, tooLong)) {
    ++number;
    if (tooLong) return fail(error, path, number, "line longer than 1024 characters");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::string frame;
    std::string why;
    if (!decodeEscapes(line, frame, why)) return fail(error, path, number, why);
    if (loaded.size() == kMaxFrames) return fail(error, path, number, "more than 10000 frames");
    loaded.push_back(std::move(frame));
  }
  if (in.bad()) return fail(error, path, number, "read error");
  if (loaded.empty()) {
    error = path + ": no frames (each non-empty line is one frame)";
    return false;
  }
  frames = std::move(loaded);
  return true;
}

}  // namespace scalecheck::sim
