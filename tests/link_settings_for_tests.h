#pragma once

#include <cstdint>

#include "link/bounded_text.h"
#include "link/link_settings.h"

namespace scalecheck::testing {

// An RS-232 link to COM `comNumber`, 9600 8N1.
inline LinkSettings serialLinkSettings(std::int32_t comNumber = 1) {
  LinkSettings settings;
  settings.mode = LinkMode::kRs232;
  settings.comNumber = comNumber;
  return settings;
}

// A TCP link to `host`:`port`.
inline LinkSettings tcpLinkSettings(const char* host, std::int32_t port) {
  LinkSettings settings;
  settings.mode = LinkMode::kTcp;
  copyBounded(settings.host, host);
  settings.tcpPort = port;
  return settings;
}

}  // namespace scalecheck::testing
