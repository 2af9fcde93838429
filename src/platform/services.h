#pragma once

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/serial_port.h"
#include "platform/sockets.h"

namespace scalecheck::platform {

// The OS services a scale link reaches. The program uses the system's own;
// tests put fakes behind the same interfaces.
struct Services {
  Clock& clock;
  SerialPorts& serialPorts;
  Sockets& sockets;
  Files& files;
};

// The real services of this system, alive for the whole process.
Services& systemServices();

// The services one by one, for code that needs only some of them.
Clock& systemClock();
SerialPorts& systemSerialPorts();
Sockets& systemSockets();
Files& systemFiles();

}  // namespace scalecheck::platform
