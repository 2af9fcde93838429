#include "console/tcp_address.h"

#include <string>

#include "link/bounded_text.h"
#include "link/tcp_transport.h"

namespace scalecheck::console {

void lookUpHostName(LinkSettings& settings, platform::Sockets& sockets) {
  if (settings.mode != LinkMode::kTcp || settings.hostName.empty()) return;
  std::string address;
  platform::OsError error;
  // Windows resolves names only between a startup and its cleanup; where
  // it cannot start, the link's own open fails and says so.
  if (sockets.startup(TcpTransport::kWinsockVersion) != 0) return;
  const bool found = sockets.resolveHost4(settings.hostName.c_str(), address, error);
  sockets.cleanup();
  copyBounded(settings.host, found ? address.c_str() : "");
}

}  // namespace scalecheck::console
