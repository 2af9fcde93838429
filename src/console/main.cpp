#include "console/dialog.h"
#include "platform/console.h"
#include "platform/services.h"

// scalecheck takes no arguments: the operator's two answers are its only
// configuration.
int main() {
  return scalecheck::console::runScaleCheck(scalecheck::platform::systemConsole(),
                                            scalecheck::platform::systemServices());
}
