#include "tool_args.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace scalecheck::bench {

bool parseCount(const char* text, int low, int high, int& value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high) return false;
  value = static_cast<int>(parsed);
  return true;
}

std::string besideProgram(const char* argv0, const std::string& name) {
  const std::string self = argv0 != nullptr ? argv0 : "";
  const std::size_t slash = self.rfind('/');
  return slash == std::string::npos ? name : self.substr(0, slash + 1) + name;
}

std::string absolutePath(const std::string& path, std::string& error) {
  // Given no buffer, realpath allocates the path: ours to free.
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    error = path + ": " + std::strerror(errno);
    return std::string();
  }
  std::string result = resolved;
  std::free(resolved);
  return result;
}

std::string loadAverageText() {
  double load[3] = {};
  if (getloadavg(load, 3) != 3) return std::string();
  char text[64];
  std::snprintf(text, sizeof text, "load average: %.2f %.2f %.2f", load[0], load[1], load[2]);
  return text;
}

}  // namespace scalecheck::bench
