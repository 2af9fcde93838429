#include "windows/child_process.h"

#include <windows.h>

namespace scalecheck::platform {
namespace {

// A generous bound: the children end within milliseconds, but a broken one
// must fail the test rather than hang it.
constexpr DWORD kChildLimitMs = 30000;

struct Pipe {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
};

// A pipe of which only the child's end is inherited.
bool makePipe(Pipe& pipe, bool childReads) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (CreatePipe(&pipe.read, &pipe.write, &inherit, 0) == 0) return false;
  return SetHandleInformation(childReads ? pipe.write : pipe.read, HANDLE_FLAG_INHERIT, 0) != 0;
}

void closeHandle(HANDLE& handle) {
  if (handle != nullptr) CloseHandle(handle);
  handle = nullptr;
}

}  // namespace

ChildRun runSelfAsChild(const char* mode, const std::string& input) {
  ChildRun run;
  char path[MAX_PATH];
  const DWORD pathLength = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (pathLength == 0 || pathLength >= MAX_PATH) return run;
  std::string command = std::string("\"") + path + "\" --child " + mode;

  Pipe in;
  Pipe out;
  if (!makePipe(in, true) || !makePipe(out, false)) return run;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.read;
  startup.hStdOutput = out.write;
  startup.hStdError = out.write;
  PROCESS_INFORMATION child{};
  const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &child);
  closeHandle(in.read);
  closeHandle(out.write);
  if (started != 0) {
    DWORD written = 0;
    if (!input.empty()) {
      WriteFile(in.write, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    }
    closeHandle(in.write);  // the end of its input
    // The outputs are far smaller than a pipe's buffer: waiting first cannot
    // block the child.
    if (WaitForSingleObject(child.hProcess, kChildLimitMs) == WAIT_OBJECT_0) {
      run.finished = GetExitCodeProcess(child.hProcess, &run.exitCode) != 0;
    } else {
      TerminateProcess(child.hProcess, 1);
      WaitForSingleObject(child.hProcess, kChildLimitMs);
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(out.read, buffer, sizeof buffer, &got, nullptr) != 0 && got > 0) {
      run.output.append(buffer, got);
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
  }
  closeHandle(in.write);
  closeHandle(out.read);
  return run;
}

}  // namespace scalecheck::platform
