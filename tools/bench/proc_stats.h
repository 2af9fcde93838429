#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace scalecheck::bench {

// User plus system processor time a running process has used, all its
// threads, in ms (from /proc, in clock ticks); -1 once it has gone.
double processCpuMs(pid_t pid);

// The most memory a running process has had resident, in KiB (VmHWM in
// /proc/PID/status); -1 once it has gone.
long peakResidentKiB(pid_t pid);

// User plus system time in a wait4 report, in ms.
double cpuMsOf(const rusage& usage);

// The processes of a Wine session: those started with WINEPREFIX=`prefix`
// that are Wine's server or a Windows program.
struct WineSession {
  pid_t program = -1;         // the Windows program named `programName`
  pid_t server = -1;          // wineserver
  std::vector<pid_t> others;  // the console host, services, device drivers
};
WineSession findWineSession(const std::string& prefix, const std::string& programName);

}  // namespace scalecheck::bench
