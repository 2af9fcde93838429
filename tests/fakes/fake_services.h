#pragma once

#include <cstdint>
#include <string>

#include "fakes/fake_files.h"
#include "fakes/fake_serial.h"
#include "fakes/fake_sockets.h"
#include "fakes/virtual_clock.h"
#include "link_settings_for_tests.h"
#include "platform/services.h"

namespace scalecheck::testing {

// Every OS service a link uses, faked, on one virtual clock (of a kind the
// test may choose, such as one whose sleeps run long).
template <typename ClockType = VirtualClock>
struct BasicFakeServices {
  ClockType clock;
  FakeSerialDevice serial{clock};
  FakeSerialPorts serialPorts{serial};
  FakeNetwork network{clock};
  FakeFiles files;
  platform::Services services{clock, serialPorts, network, files};
};
using FakeServices = BasicFakeServices<>;

// A TCP link to a scale that accepts at once on the fake network.
inline LinkSettings tcpLinkToServer(FakeNetwork& network, const char* host, std::int32_t port) {
  network.servers[std::string(host) + ":" + std::to_string(port)] = FakeServer{};
  return tcpLinkSettings(host, port);
}

// One readReply through `transport` (a link or a transport), with the
// virtual time it took.
struct TimedReply {
  bool ok;
  std::string bytes;
  std::uint64_t elapsed;
};
template <typename Transport>
TimedReply readTimed(Transport& transport, VirtualClock& clock) {
  std::uint8_t buffer[21];
  std::int32_t count = -1;
  const std::uint64_t start = clock.now();
  const bool ok = transport.readReply(buffer, count);
  return {ok,
          ok ? std::string(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(count)) : "",
          clock.now() - start};
}

}  // namespace scalecheck::testing
