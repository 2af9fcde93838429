#pragma once

#include <cstddef>

namespace scalecheck::platform {

class Files {
 public:
  virtual ~Files() = default;
  // Appends `length` bytes to the file at `path`, creating it when missing,
  // the way a Windows text-mode stream opened with "a+" writes them: each LF
  // reaches the disk as CR LF. True only when the file opened and every byte
  // was written and the file closed cleanly.
  virtual bool appendText(const char* path, const char* bytes, std::size_t length) = 0;
};

}  // namespace scalecheck::platform
