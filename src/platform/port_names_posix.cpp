#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "platform/fs_entries_posix.h"
#include "platform/port_list_posix.h"
#include "platform/port_names.h"

namespace scalecheck::platform {
namespace {

// The controlling terminal, from field 7 (tty_nr) of /proc/self/stat: the
// kernel packs the minor number's low byte, the major number, then the
// minor number's upper bits. 0 when there is none. The process name in
// field 2 may hold blanks and parentheses; the fields after its last ')'
// do not.
dev_t controllingTerminal() {
  const std::string stat = firstLine("/proc/self/stat");
  const std::size_t nameEnd = stat.rfind(')');
  if (nameEnd == std::string::npos) return 0;
  std::istringstream fields(stat.substr(nameEnd + 1));
  std::string state;
  long parent = 0;
  long group = 0;
  long session = 0;
  unsigned long terminal = 0;
  if (!(fields >> state >> parent >> group >> session >> terminal) || terminal == 0) return 0;
  return makedev((terminal >> 8) & 0xFFF, (terminal & 0xFF) | ((terminal >> 12) & 0xFFF00));
}

}  // namespace

PortNameLookup lookUpPortName(const std::string& name) {
  PortNameLookup lookup;
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    return lookup;
  }
  const PortListRoots roots;
  for (const std::string& folder : {roots.dev, roots.serialById}) {
    lookup.places.push_back(pathIn(folder, name));
    struct stat entry {};
    // lstat: a by-id link whose adapter is gone still counts; opening it
    // then says so.
    if (lstat(lookup.places.back().c_str(), &entry) == 0) {
      lookup.device = lookup.places.back();
      break;
    }
  }
  return lookup;
}

// /dev/tty (5, 0) is, for whoever opens it, their controlling terminal;
// otherwise the device number is compared with that terminal's and with
// those of the standard streams.
bool isOwnTerminal(const std::string& device) {
  struct stat target {};
  if (stat(device.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) return false;
  if (target.st_rdev == makedev(5, 0) || target.st_rdev == controllingTerminal()) return true;
  for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    struct stat own {};
    if (isatty(stream) == 1 && fstat(stream, &own) == 0 && own.st_rdev == target.st_rdev) {
      return true;
    }
  }
  return false;
}

std::string missingPortFolder() {
  std::string folder = systemPortListRoots().portDir;
  struct stat entry {};
  if (folder.empty() || (stat(folder.c_str(), &entry) == 0 && S_ISDIR(entry.st_mode))) return "";
  return folder;
}

}  // namespace scalecheck::platform
