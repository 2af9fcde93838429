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

}  // namespace scalecheck::platform
