#include "port_symlink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "serial_line.h"

namespace scalecheck::sim {

bool makeParentFolders(const std::string& path, std::string& error) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    // EEXIST: the folder is there already (a file in its place fails a
    // later step).
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
      error = systemError("creating " + folder);
      return false;
    }
  }
  return true;
}

namespace {

std::string symlinkTarget(const std::string& path) {
  char target[4096];
  const ssize_t length = readlink(path.c_str(), target, sizeof target);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof target) return std::string();
  return std::string(target, static_cast<std::size_t>(length));
}

}  // namespace

bool placeSymlink(const std::string& target, const std::string& linkPath, std::string& error) {
  struct stat existing {};
  if (lstat(linkPath.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
    error = linkPath + " exists and is not a symlink; not replacing it";
    return false;
  }
  const std::string temporary = linkPath + ".new." + std::to_string(getpid());
  // A leftover of a run with our pid goes first.
  unlink(temporary.c_str());
  if (symlink(target.c_str(), temporary.c_str()) != 0) {
    error = systemError("creating " + temporary);
    return false;
  }
  // Replaces an old symlink atomically.
  if (rename(temporary.c_str(), linkPath.c_str()) != 0) {
    error = systemError("renaming " + temporary + " to " + linkPath);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

void removeSymlinkTo(const std::string& target, const std::string& linkPath) {
  // At exit nothing is left to do about a failure.
  if (symlinkTarget(linkPath) == target) unlink(linkPath.c_str());
}

}  // namespace scalecheck::sim
