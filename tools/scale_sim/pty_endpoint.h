#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "endpoint.h"
#include "harness/fd.h"
#include "port_lock.h"
#include "uart_settings.h"

namespace scalecheck::sim {

// A pseudo-terminal pair of our own: we keep the master end, a reader opens
// the terminal end through a symlink.
class PtyEndpoint : public Endpoint {
 public:
  static std::unique_ptr<PtyEndpoint> open(const std::string& linkPath, const UartSettings& line,
                                           std::string& error);
  ~PtyEndpoint() override;
  PtyEndpoint(const PtyEndpoint&) = delete;
  PtyEndpoint& operator=(const PtyEndpoint&) = delete;

  int pollDescriptor() const override { return master_.get(); }
  ReadOutcome read(std::string& bytes, std::string& note) override;
  void write(std::string_view bytes) override;
  std::string readyLine() const override;
  std::optional<UartSettings> peerLine() const override;

 private:
  PtyEndpoint(PortLock lock, harness::Fd master, harness::Fd terminal, std::string terminalPath,
              std::string linkPath);

  PortLock lock_;  // let go of last, once the link is gone

  harness::Fd master_;
  // Our own descriptor of the terminal end. While it is open the master never
  // sees a hang-up when the reader closes the port and opens it again, and the
  // terminal keeps its settings in between.
  harness::Fd terminal_;
  std::string terminalPath_;
  std::string linkPath_;
};

}  // namespace scalecheck::sim
