#include "console/version.h"

namespace scalecheck::console {

// SCALECHECK_VERSION comes from the project's version in CMake.
const char* programVersion() {
  return SCALECHECK_VERSION;
}

}  // namespace scalecheck::console
