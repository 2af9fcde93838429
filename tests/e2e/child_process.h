#pragma once

#include "e2e/deadline.h"
#include "harness/child_process.h"
#include "harness/fd_io.h"

namespace scalecheck::e2e {

using harness::ChildProcess;
using harness::ExitStatus;
using harness::Launch;
using harness::readSome;
using harness::writeAll;

}  // namespace scalecheck::e2e
