#include <string>
#include <vector>

#include "console/port_facts.h"
#include "console/program.h"
#include "platform/console.h"
#include "platform/services.h"

int main(int argc, char** argv) {
  // A program may be started with no arguments at all, not even its name.
  const std::vector<std::string> arguments(argc > 1 ? argv + 1 : argv,
                                           argc > 1 ? argv + argc : argv);
  return scalecheck::console::runProgram(arguments, scalecheck::platform::systemConsole(),
                                         scalecheck::platform::systemServices(),
                                         scalecheck::console::systemPortFacts());
}
