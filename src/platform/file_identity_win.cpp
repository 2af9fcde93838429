#include <windows.h>

#include <string>

#include "platform/files.h"

namespace scalecheck::platform {
namespace {

// The volume and index of an existing file or folder. With no access
// asked and every sharing allowed the open disturbs no other program.
// FILE_FLAG_BACKUP_SEMANTICS lets it open a folder.
bool identity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  return known;
}

// A path that fails, or is too long for the buffer (the result is then the
// size needed), is compared as given.
std::string fullPath(const char* path) {
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  return length > 0 && length < MAX_PATH ? std::string(full, length) : std::string(path);
}

}  // namespace

// Windows file names are compared regardless of case.
bool sameFile(const char* first, const char* second) {
  BY_HANDLE_FILE_INFORMATION one{};
  BY_HANDLE_FILE_INFORMATION other{};
  const bool firstThere = identity(first, one);
  const bool secondThere = identity(second, other);
  if (firstThere || secondThere) {
    return firstThere && secondThere && one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
  }
  return lstrcmpiA(fullPath(first).c_str(), fullPath(second).c_str()) == 0;
}

}  // namespace scalecheck::platform
