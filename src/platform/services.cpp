#include "platform/services.h"

namespace scalecheck::platform {

Services& systemServices() {
  static Services services{systemClock(), systemSerialPorts(), systemSockets(), systemFiles()};
  return services;
}

}  // namespace scalecheck::platform
