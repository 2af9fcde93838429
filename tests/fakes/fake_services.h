#pragma once

#include "fakes/fake_files.h"
#include "fakes/fake_serial.h"
#include "fakes/fake_sockets.h"
#include "fakes/virtual_clock.h"
#include "platform/services.h"

namespace scalecheck::testing {

// Every OS service a link uses, faked, on one virtual clock.
struct FakeServices {
  VirtualClock clock;
  FakeSerialDevice serial{clock};
  FakeSerialPorts serialPorts{serial};
  FakeNetwork network{clock};
  FakeFiles files;
  platform::Services services{clock, serialPorts, network, files};
};

}  // namespace scalecheck::testing
