#pragma once

namespace scalecheck::sim {

// The --help text.
const char* usageText();

}  // namespace scalecheck::sim
