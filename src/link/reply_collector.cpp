#include "link/reply_collector.h"

#include <cstring>

namespace scalecheck {

bool ReplyCollector::handBack(std::uint8_t* buffer, std::int32_t& count) const {
  if (stored_ == 0) return false;
  std::memcpy(buffer, reply_, stored_);
  count = static_cast<std::int32_t>(stored_);
  return true;
}

}  // namespace scalecheck
