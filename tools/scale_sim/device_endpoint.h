#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "endpoint.h"
#include "harness/fd.h"
#include "uart_settings.h"

namespace scalecheck::sim {

// A real serial device, e.g. a USB adapter on a null-modem cable to the PC
// that runs the reader.
class DeviceEndpoint : public Endpoint {
 public:
  static std::unique_ptr<DeviceEndpoint> open(const std::string& path, const UartSettings& line,
                                              std::string& error);

  int pollDescriptor() const override { return device_.get(); }
  ReadOutcome read(std::string& bytes, std::string& note) override;
  void write(std::string_view bytes) override;
  std::string readyLine() const override { return "ready device " + path_; }

 private:
  DeviceEndpoint(harness::Fd device, std::string path);

  harness::Fd device_;
  std::string path_;
};

}  // namespace scalecheck::sim
