#include <gtest/gtest.h>

#include <cstring>

#include "windows/child_process.h"

// The tests of the Windows services. Some start this program again as a
// child ("--child MODE") to see the services with pipes as their standard
// handles.
int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
    return scalecheck::platform::runConsoleChild(argv[2]);
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
