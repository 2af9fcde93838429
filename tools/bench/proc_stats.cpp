#include "proc_stats.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace scalecheck::bench {
namespace {

std::string fileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// /proc/PID/comm: the name, at most 15 characters.
std::string commandName(pid_t pid) {
  std::string name = fileText("/proc/" + std::to_string(pid) + "/comm");
  if (!name.empty() && name.back() == '\n') name.pop_back();
  return name;
}

bool startedWithPrefix(pid_t pid, const std::string& prefix) {
  // Entries are NAME=VALUE, each ending in NUL.
  const std::string environment = fileText("/proc/" + std::to_string(pid) + "/environ");
  const std::string wanted = "WINEPREFIX=" + prefix;
  for (std::size_t at = 0; at < environment.size();) {
    const std::size_t end = environment.find('\0', at);
    if (environment.compare(at, end - at, wanted) == 0) return true;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return false;
}

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::vector<pid_t> allProcesses() {
  std::vector<pid_t> pids;
  DIR* folder = opendir("/proc");
  if (folder == nullptr) return pids;
  while (const dirent* entry = readdir(folder)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid > 0 && *end == '\0') pids.push_back(static_cast<pid_t>(pid));
  }
  closedir(folder);
  return pids;
}

}  // namespace

double processCpuMs(pid_t pid) {
  const std::string stat = fileText("/proc/" + std::to_string(pid) + "/stat");
  // "PID (NAME) STATE PPID ...": the name may hold blanks and parentheses,
  // so the fields are counted from its last ')'. utime and stime are
  // fields 14 and 15, the 12th and 13th after it.
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(stat.substr(close + 1));
  std::string skipped;
  for (int field = 0; field < 11; ++field) fields >> skipped;
  unsigned long long user = 0;
  unsigned long long system = 0;
  if (!(fields >> user >> system)) return -1;
  const long ticks = sysconf(_SC_CLK_TCK);
  if (ticks <= 0) return -1;
  return static_cast<double>(user + system) * 1000.0 / static_cast<double>(ticks);
}

long peakResidentKiB(pid_t pid) {
  std::istringstream status(fileText("/proc/" + std::to_string(pid) + "/status"));
  std::string line;
  while (std::getline(status, line)) {
    // "VmHWM:\t    1234 kB"
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

double cpuMsOf(const rusage& usage) {
  const auto ms = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
  };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

WineSession findWineSession(const std::string& prefix, const std::string& programName) {
  WineSession session;
  for (pid_t pid : allProcesses()) {
    const std::string name = commandName(pid);
    const bool server = name.rfind("wineserver", 0) == 0;
    if ((!server && !endsWith(name, ".exe")) || !startedWithPrefix(pid, prefix)) continue;
    if (server) {
      session.server = pid;
    } else if (name == programName) {
      session.program = pid;
    } else {
      session.others.push_back(pid);
    }
  }
  return session;
}

}  // namespace scalecheck::bench
