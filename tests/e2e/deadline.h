#pragma once

#include "harness/deadline.h"

namespace scalecheck::e2e {

using harness::Deadline;
using harness::kSafetyMs;
using harness::millisecondsSince;

}  // namespace scalecheck::e2e
