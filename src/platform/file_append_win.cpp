#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/services.h"
#include "platform/stored_text.h"

// Win32 calls return zero on failure, the reason in GetLastError, unless
// said otherwise.

namespace scalecheck::platform {
namespace {

OsError fileError(DWORD code) {
  const int number = static_cast<int>(code);
  switch (code) {
    case ERROR_ACCESS_DENIED:  // a read-only file or a folder we may not write in
    case ERROR_WRITE_PROTECT:  // read-only media
      return {FailureKind::kNoPermission, number};
    default:
      return {FailureKind::kOther, number};
  }
}

bool isFolder(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// What a failed open means: CreateFileA refuses a folder as ERROR_ACCESS_DENIED.
OsError openError(const char* path, DWORD code) {
  return code == ERROR_ACCESS_DENIED && isFolder(path)
             ? OsError{FailureKind::kNotRegularFile, static_cast<int>(code)}
             : fileError(code);
}

constexpr OsError kNotRegular{FailureKind::kNotRegularFile, 0};

// Opens the file for appending, with its size at that moment;
// INVALID_HANDLE_VALUE when it cannot be, with `error` set. Shared for
// reading, writing and deleting, so that a spreadsheet program can read the
// file between records and another program append to it. FILE_WRITE_DATA
// beside FILE_APPEND_DATA: without it SetEndOfFile is refused, so a partial
// record could not be cut back; the writes still go to the end (see
// writeAll). A type other than FILE_TYPE_DISK is a console, a printer port
// or a pipe, not a file.
HANDLE openForAppend(const char* path, std::uint64_t& size, OsError& error) {
  const HANDLE file = CreateFileA(path, FILE_APPEND_DATA | FILE_WRITE_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = openError(path, GetLastError());
    return INVALID_HANDLE_VALUE;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK) {
    error = kNotRegular;
  } else if (GetFileInformationByHandle(file, &info) == 0) {
    error = fileError(GetLastError());
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = kNotRegular;
  } else {
    size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32U) | info.nFileSizeLow;
    return file;
  }
  CloseHandle(file);
  return INVALID_HANDLE_VALUE;
}

// WriteFile at the offset 0xFFFFFFFF:0xFFFFFFFF appends at the end of the
// file in one step, as a handle with FILE_APPEND_DATA alone would, so bytes
// another program appended are never overwritten. A file takes fewer bytes
// than asked only at a limit (a full disk); the next call says which.
bool writeAll(HANDLE file, const std::string& bytes, std::size_t& written, OsError& error) {
  written = 0;
  while (written < bytes.size()) {
    OVERLAPPED atEnd{};
    atEnd.Offset = 0xFFFFFFFFU;
    atEnd.OffsetHigh = 0xFFFFFFFFU;
    const auto asked = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1U << 20));
    DWORD count = 0;
    if (WriteFile(file, bytes.data() + written, asked, &count, &atEnd) == 0) {
      error = fileError(GetLastError());
      return false;
    }
    if (count == 0) {
      error = {FailureKind::kOther, 0};
      return false;
    }
    written += count;
  }
  return true;
}

// Takes our partial record back while the file still ends with it (see
// endIsOwnWrite); another program could append between the calls, a window
// of microseconds.
bool cutBackOwnPart(HANDLE file, std::uint64_t sizeAtOpen, std::size_t written) {
  LARGE_INTEGER now{};
  LARGE_INTEGER target{};
  target.QuadPart = static_cast<LONGLONG>(sizeAtOpen);
  return GetFileSizeEx(file, &now) != 0 &&
         endIsOwnWrite(sizeAtOpen, written, static_cast<std::uint64_t>(now.QuadPart)) &&
         SetFilePointerEx(file, target, nullptr, FILE_BEGIN) != 0 && SetEndOfFile(file) != 0;
}

class WindowsFiles : public Files {
 public:
  bool appendText(const char* path, const char* bytes, std::size_t length,
                  OsError& error) override {
    error = {};
    std::uint64_t sizeAtOpen = 0;
    const HANDLE file = openForAppend(path, sizeAtOpen, error);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::size_t written = 0;
    const bool complete = writeAll(file, storedAsText(bytes, length), written, error);
    if (!complete) cutBackOwnPart(file, sizeAtOpen, written);
    // A failed close may mean the bytes never reached the disk: the record
    // is tried again.
    if (CloseHandle(file) == 0 && complete) {
      error = fileError(GetLastError());
      return false;
    }
    return complete;
  }
};

}  // namespace

Files& systemFiles() {
  static WindowsFiles files;
  return files;
}

}  // namespace scalecheck::platform
