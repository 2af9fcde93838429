#pragma once

#include <cstddef>

#include "platform/os_error.h"

namespace scalecheck::platform {

class Files {
 public:
  virtual ~Files() = default;
  // Appends `length` bytes to the file at `path`, creating it when missing,
  // the way a Windows text-mode stream opened with "a+" writes them: each LF
  // reaches the disk as CR LF. True only when the file opened and every byte
  // was written and the file closed cleanly. Never waits: a name taken by a
  // FIFO, a device or a folder is refused at once. On failure `error` says
  // why (kNone on success), and a record written only in part has been
  // taken back again, unless another program appended to the file meanwhile.
  virtual bool appendText(const char* path, const char* bytes, std::size_t length,
                          OsError& error) = 0;
};

// Whether two paths name one file, however they spell it ("./#Log.csv", a
// link to it, other letter case on Windows): the same file when both
// exist, the same name in the same folder when neither does yet.
bool sameFile(const char* first, const char* second);

}  // namespace scalecheck::platform
