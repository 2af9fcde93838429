#include <sys/stat.h>

#include <string>

#include "platform/files.h"

namespace scalecheck::platform {
namespace {

// The folder a path's last component is in: "." for a bare name.
std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// False also when nothing is there yet.
bool identity(const std::string& path, struct stat& info) {
  return ::stat(path.c_str(), &info) == 0;
}

bool sameIdentity(const struct stat& first, const struct stat& second) {
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

bool sameFile(const char* first, const char* second) {
  struct stat one {};
  struct stat other {};
  const bool firstThere = identity(first, one);
  const bool secondThere = identity(second, other);
  if (firstThere || secondThere) return firstThere && secondThere && sameIdentity(one, other);
  const std::string a = first;
  const std::string b = second;
  if (a.substr(a.rfind('/') + 1) != b.substr(b.rfind('/') + 1)) return false;
  return identity(folderOf(a), one) && identity(folderOf(b), other) && sameIdentity(one, other);
}

}  // namespace scalecheck::platform
