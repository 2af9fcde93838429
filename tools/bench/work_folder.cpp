#include "work_folder.h"

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace scalecheck::bench {

bool makeWorkFolder(const std::string& name, std::string& folder, std::string& error) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/" + name + ".XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    error = "cannot make a temporary folder: " + std::string(std::strerror(errno));
    return false;
  }
  folder = pattern;
  return true;
}

void removeWorkFolder(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* entries = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(entries)) {
      const std::string entryName = entry->d_name;
      if (entryName != "." && entryName != "..") names.push_back(entryName);
    }
    closedir(entries);
  }
  // Failures are ignored: whatever stays behind in the temporary area does
  // no harm.
  for (const std::string& entryName : names) {
    std::string path = folder;
    path += '/';
    path += entryName;
    unlink(path.c_str());
  }
  rmdir(folder.c_str());
}

}  // namespace scalecheck::bench
