#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/device_holders.h"
#include "platform/fs_entries_posix.h"
#include "platform/pty_index_posix.h"

// POSIX calls return -1 and set errno on failure unless said otherwise.

namespace scalecheck::platform {
namespace {

// getgrgid_r needs room for the group's member list; a group with a long
// one gets a bigger buffer, up to a bound no real group reaches.
constexpr std::size_t kGroupBufferStart = 1024;
constexpr std::size_t kGroupBufferLimit = 1U << 20U;

bool isProcessId(const std::string& name) {
  return !name.empty() &&
         std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// True when one of the process's descriptors is the device. Only
// descriptors whose link names something under /dev are looked at: a stat of
// a file on a network mount whose server went away could block.
bool holdsDevice(const std::string& process, dev_t device) {
  const std::string folder = process + "/fd";
  for (const std::string& descriptor : entryNames(folder)) {
    const std::string path = pathIn(folder, descriptor);
    if (linkText(path).compare(0, 5, "/dev/") != 0) continue;
    struct stat target {};
    // Fails when the descriptor was closed meanwhile.
    if (stat(path.c_str(), &target) == 0 && S_ISCHR(target.st_mode) && target.st_rdev == device) {
      return true;
    }
  }
  return false;
}

// The pseudo-terminal a master descriptor (/dev/ptmx) serves: the
// "tty-index:" line of its /proc fdinfo; -1 when there is none.
int masterPtyIndex(const std::string& process, const std::string& descriptor) {
  std::FILE* info = std::fopen((process + "/fdinfo/" + descriptor).c_str(), "re");
  if (info == nullptr) return -1;
  constexpr const char* kField = "tty-index:";
  int index = -1;
  char line[128];
  while (index < 0 && std::fgets(line, sizeof line, info) != nullptr) {
    if (std::strncmp(line, kField, std::strlen(kField)) == 0) {
      index = std::atoi(line + std::strlen(kField));
    }
  }
  std::fclose(info);
  return index;
}

// A process that holds a pseudo-terminal's master end is the other end of
// that line (a scale simulator, a terminal window), not a second reader of
// what the scale sends.
bool holdsPtyMaster(const std::string& process, int index) {
  const std::string folder = process + "/fd";
  for (const std::string& descriptor : entryNames(folder)) {
    const std::string target = linkText(pathIn(folder, descriptor));
    if (target != "/dev/ptmx" && target != "/dev/pts/ptmx") continue;
    if (masterPtyIndex(process, descriptor) == index) return true;
  }
  return false;
}

bool inSessionGroups(gid_t group) {
  if (getegid() == group) return true;
  // Asked with 0, getgroups only counts the supplementary groups.
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = getgroups(count, groups.data());
  if (got < 0) return false;
  groups.resize(static_cast<std::size_t>(got));
  return std::find(groups.begin(), groups.end(), group) != groups.end();
}

// The group's name, or its number when the system has no name for it.
std::string groupName(gid_t group) {
  for (std::size_t size = kGroupBufferStart; size <= kGroupBufferLimit; size *= 2) {
    std::vector<char> buffer(size);
    struct group entry {};
    struct group* found = nullptr;
    // getgrgid_r returns its error instead of setting errno: ERANGE asks
    // for a bigger buffer. A group without an entry leaves `found` null.
    const int status = getgrgid_r(group, &entry, buffer.data(), buffer.size(), &found);
    if (status == 0 && found != nullptr && found->gr_name != nullptr) return found->gr_name;
    if (status != ERANGE) break;
  }
  return std::to_string(group);
}

}  // namespace

std::vector<DeviceHolder> otherHolders(const std::string& device) {
  std::vector<DeviceHolder> holders;
  struct stat wanted {};
  if (stat(device.c_str(), &wanted) != 0 || !S_ISCHR(wanted.st_mode)) return holders;
  const std::string self = std::to_string(getpid());
  for (const std::string& entry : entryNames("/proc")) {
    if (!isProcessId(entry) || entry == self) continue;
    const std::string process = pathIn("/proc", entry);
    if (!holdsDevice(process, wanted.st_rdev)) continue;
    const int pty = ptyIndex(wanted.st_rdev);
    if (pty >= 0 && holdsPtyMaster(process, pty)) continue;
    holders.push_back(DeviceHolder{std::atoi(entry.c_str()), firstLine(process + "/comm")});
  }
  std::sort(holders.begin(), holders.end(),
            [](const DeviceHolder& a, const DeviceHolder& b) { return a.pid < b.pid; });
  return holders;
}

std::string missingGroupFor(const std::string& device) {
  struct stat node {};
  if (stat(device.c_str(), &node) != 0 || geteuid() == 0) return "";
  // The owner gets the owner's rights, not the group's; and a group without
  // both read and write rights would not help.
  const mode_t groupRights = S_IRGRP | S_IWGRP;
  if (node.st_uid == geteuid() || (node.st_mode & groupRights) != groupRights) return "";
  if (inSessionGroups(node.st_gid)) return "";
  return groupName(node.st_gid);
}

}  // namespace scalecheck::platform
