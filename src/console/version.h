#pragma once

namespace scalecheck::console {

// The program's version, as the build names it ("1.1.0").
const char* programVersion();

}  // namespace scalecheck::console
