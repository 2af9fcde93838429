#pragma once

#include <vector>

#include "soak_run.h"

namespace scalecheck::soak {

// A row per kind and what was wrong, on stdout; true when nothing was.
bool printSoakReport(const std::vector<SoakResult>& results);

}  // namespace scalecheck::soak
