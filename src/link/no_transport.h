#pragma once

#include "link/transport.h"
#include "platform/clock.h"

namespace scalecheck {

// The transport of a link whose mode names none: nothing opens, nothing is
// sent or received, and a wait for input is a plain sleep, so a poll on
// such a link fails after its time limits as on a silent line.
class NoTransport final : public Transport {
 public:
  explicit NoTransport(platform::Clock& clock) : clock_(clock) {}

  bool open(const LinkSettings& /*settings*/, LinkError& /*lastError*/) override { return false; }
  void close() override {}
  bool isOpen() const override { return false; }
  bool writeBytes(const std::uint8_t* /*bytes*/, std::int32_t /*length*/) override { return false; }
  bool readReply(std::uint8_t* /*buffer*/, std::int32_t& /*count*/) override { return false; }
  bool waitForStream(bool /*keepListening*/, StreamStart& /*start*/) override { return true; }
  ByteResult takeByte(std::uint8_t& /*byte*/) override { return ByteResult::kNone; }
  void waitForInput(std::uint32_t boundMs) override { clock_.sleep(boundMs); }
  std::uint32_t combinedReplyDelayMs() const override { return 0; }
  std::string target(const LinkSettings& /*settings*/) const override { return ""; }

 private:
  platform::Clock& clock_;
};

}  // namespace scalecheck
