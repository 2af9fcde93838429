#pragma once

#include <cstddef>
#include <cstdint>

namespace scalecheck {

// The pending cause of the last failure, kept by the link until an operation
// clears it. The console shows it as 100 + code and a Russian message.
enum class LinkError : std::int32_t {
  kNone = 0,
  kTooManyInstances = 1,
  kChannelSettings = 2,
  kTcpAddressMissing = 3,
  kWinsockStartup = 4,
  kNetworkAddress = 5,
  kSocketCreate = 6,
  kNoSerialPorts = 7,
  kSerialOpen = 8,
  kTcpConnect = 9,
  kNoData = 10,
  kUnknownStream = 11,
  kPurgeMemory = 12,
  kUnknownData = 14,
  kTareUnsupported = 15,
  kWeightUnstable = 16,
  kWeighingBlocked = 17,
};

constexpr std::size_t kErrorTextSize = 260;  // room a caller of errorText provides

// The Windows-1251 message of a code, or null for a code outside the table.
const char* linkErrorMessage(LinkError code);

}  // namespace scalecheck
