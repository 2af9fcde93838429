#pragma once

#include "link/link_settings.h"
#include "platform/sockets.h"

namespace scalecheck::console {

// Looks up the host name of a TCP link once (IPv4, as the link itself
// would) and gives the link its dotted address, so that a name of any
// length fits the link's 15-character host field; `hostName` keeps the
// name for messages. A name that is not found leaves the host empty, which
// the link's open reports as a name not found. Serial links, links without
// a host name, and a system whose sockets cannot start are left as they are.
void lookUpHostName(LinkSettings& settings, platform::Sockets& sockets);

}  // namespace scalecheck::console
