#include "frames_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "escapes.h"

namespace scalecheck::sim {
namespace {

// Far beyond any scale frame; they keep a mistaken path (a device, a large
// file) from being read into memory without end.
constexpr std::size_t kMaxLineLength = 1024;
constexpr std::size_t kMaxFrames = 10000;

// A failed close is ignored: nothing was written, so nothing is lost.
struct CloseFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, CloseFile>;

bool fail(std::string& error, const std::string& path, std::size_t line, const std::string& why) {
  error = path + ":" + std::to_string(line) + ": " + why;
  return false;
}

// `code` is the errno of the fopen or read that failed: ENOENT for a
// missing file, EACCES, EISDIR for a folder...
bool cannotRead(std::string& error, const std::string& path, int code) {
  error = "cannot read " + path + ": " + std::strerror(code);
  return false;
}

// getline without a length bound would read a file without line ends whole.
// False at the end of the file or on a read error, with `readError` set.
bool readLine(std::FILE* in, std::string& line, bool& tooLong, int& readError) {
  line.clear();
  tooLong = false;
  bool any = false;
  for (int c = std::getc(in); c != EOF; c = std::getc(in)) {
    any = true;
    if (c == '\n') return true;
    if (line.size() == kMaxLineLength) {
      tooLong = true;
      return true;
    }
    line.push_back(static_cast<char>(c));
  }
  if (std::ferror(in) != 0) readError = errno;
  return any && readError == 0;
}

}  // namespace

bool loadFrames(const std::string& path, std::vector<std::string>& frames, std::string& error) {
  const File in(std::fopen(path.c_str(), "rb"));
  if (!in) return cannotRead(error, path, errno);
  std::vector<std::string> loaded;
  std::string line;
  bool tooLong = false;
  int readError = 0;
  std::size_t number = 0;
  while (readLine(in.get(), line, tooLong, readError)) {
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
  if (readError != 0) return cannotRead(error, path, readError);
  if (loaded.empty()) {
    error = path + ": no frames (each non-empty line is one frame)";
    return false;
  }
  frames = std::move(loaded);
  return true;
}

}  // namespace scalecheck::sim
