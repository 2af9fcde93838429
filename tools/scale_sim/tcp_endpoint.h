#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "endpoint.h"
#include "harness/fd.h"

namespace scalecheck::sim {

// A scale on the network: listens on one address and serves one client at
// a time. Further clients wait in the listen queue until the current one
// leaves. With no client, what the scale sends is lost.
class TcpEndpoint : public Endpoint {
 public:
  static std::unique_ptr<TcpEndpoint> open(const std::string& host, std::uint16_t port,
                                           std::string& error);

  int pollDescriptor() const override;
  ReadOutcome read(std::string& bytes, std::string& note) override;
  void write(std::string_view bytes) override;
  std::string readyLine() const override { return "ready tcp " + address_; }

 private:
  TcpEndpoint(harness::Fd listener, std::string address);
  ReadOutcome accept(std::string& note);

  harness::Fd listener_;
  harness::Fd client_;
  std::string address_;  // HOST:PORT we listen on, numeric
};

}  // namespace scalecheck::sim
