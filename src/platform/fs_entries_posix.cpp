#include <dirent.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

#include "platform/fs_entries_posix.h"

namespace scalecheck::platform {

std::vector<std::string> entryNames(const std::string& folder) {
  std::vector<std::string> names;
  // A folder that is gone or closed to us (another user's process in
  // /proc) has no names to give.
  DIR* stream = opendir(folder.c_str());
  if (stream == nullptr) return names;
  while (const dirent* entry = readdir(stream)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(stream);
  return names;
}

std::string linkText(const std::string& path) {
  char text[PATH_MAX];
  // readlink adds no NUL. A text that fills the buffer may be cut, and is
  // left out rather than shown wrong.
  const ssize_t length = readlink(path.c_str(), text, sizeof text);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof text) return "";
  return std::string(text, static_cast<std::size_t>(length));
}

std::string firstLine(const std::string& path) {
  // The attributes read here are a line of a few dozen characters; a
  // longer one is cut.
  std::FILE* file = std::fopen(path.c_str(), "re");
  if (file == nullptr) return "";
  char line[256] = {};
  const bool read = std::fgets(line, sizeof line, file) != nullptr;
  std::fclose(file);
  if (!read) return "";
  std::string text = line;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t')) {
    text.pop_back();
  }
  return text;
}

std::string pathIn(const std::string& folder, const std::string& name) {
  std::string path = folder;
  path += '/';
  path += name;
  return path;
}

std::string lastComponent(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace scalecheck::platform
