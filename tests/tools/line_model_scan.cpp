#include "tools/line_model_scan.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "fakes/fake_services.h"
#include "protocol/acquisition.h"
#include "tools/line_model_scale.h"

namespace scalecheck::testing {
namespace {

class Recorder final : public ScanListener {
 public:
  explicit Recorder(std::vector<ProbeOutcome>& probes) : probes_(probes) {}
  void probed(const ProbeOutcome& outcome) override { probes_.push_back(outcome); }
  bool stopRequested() override { return false; }

 private:
  std::vector<ProbeOutcome>& probes_;
};

}  // namespace

std::string settingName(const LineSetting& line) {
  static constexpr char kParities[] = "NOEMS";
  const Framing& framing = line.framing;
  return std::to_string(line.baudRate) + " " + std::to_string(framing.dataBits) +
         kParities[framing.parity] + (framing.stopBits == stop_bits::kTwo ? "2" : "1");
}

sim::SimOptions scaleOptions(sim::ScaleKind kind, std::int32_t rate, const Framing& framing) {
  sim::SimOptions options;
  options.kind = kind;
  options.line.baud = static_cast<std::uint32_t>(rate);
  options.line.dataBits = framing.dataBits;
  options.line.parity = static_cast<sim::Parity>(framing.parity);  // the same codes
  options.line.stopBits = framing.stopBits == stop_bits::kTwo ? 2 : 1;
  return options;
}

LineModelScan scanOnLineModel(const std::optional<sim::SimOptions>& scale,
                              std::vector<std::string> rawFrames, const ScanPlan& plan) {
  FakeServices fake;
  std::unique_ptr<LineModelScale> peer;
  if (scale) peer = std::make_unique<LineModelScale>(fake.serial, *scale, std::move(rawFrames));
  ScaleLink link(serialLinkSettings(), fake.services);
  LineModelScan scan;
  if (!link.open()) return scan;
  Recorder recorder(scan.probes);
  const std::uint64_t start = fake.clock.now();
  scan.result = scanLineSettings(link, recorder, plan);
  scan.elapsedMs = fake.clock.now() - start;
  return scan;
}

bool namesTheScale(const ScanResult& result, const LineSetting& line) {
  if (!result.found || result.verdict.line.baudRate != line.baudRate) return false;
  if (result.verdict.line.framing == line.framing) return true;
  return std::any_of(result.verdict.alike.begin(), result.verdict.alike.end(),
                     [&line](const ProbeOutcome& other) { return other.probe.line == line; });
}

bool pollsOnLineModel(const sim::SimOptions& scale, const LineSetting& line,
                      WeightReading& reading) {
  FakeServices fake;
  LineModelScale peer(fake.serial, scale);
  ScaleLink link(withLine(serialLinkSettings(), line), fake.services);
  return link.open() && pollReading(link, reading);
}

}  // namespace scalecheck::testing
