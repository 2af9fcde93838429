#pragma once

#include <sys/sysmacros.h>
#include <sys/types.h>

namespace scalecheck::platform {

// The number N of a pseudo-terminal /dev/pts/N, or -1 for another device.
// Their major numbers are 136 to 143, 256 terminals each.
inline int ptyIndex(dev_t device) {
  const unsigned int number = major(device);
  if (number < 136 || number > 143) return -1;
  return static_cast<int>((number - 136) * 256 + minor(device));
}

}  // namespace scalecheck::platform
