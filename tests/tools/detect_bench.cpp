// detect-bench: scans for the line settings of a simulated scale on the
// fakes through the line model, on the virtual clock, for every rate,
// framing and way of the grid, and with no scale, noise and another
// protocol; reports the times.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/line_model_scan.h"

using namespace scalecheck;
using namespace scalecheck::testing;

int main() {
  const sim::ScaleKind kinds[] = {sim::ScaleKind::kStream, sim::ScaleKind::kTwoStep,
                                  sim::ScaleKind::kCombined};
  const std::int32_t rates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  for (const sim::ScaleKind kind : kinds) {
    std::vector<std::uint64_t> times;
    int right = 0;
    for (const std::int32_t rate : rates) {
      for (const Framing& framing : kScanFramings) {
        const LineModelScan scan = scanOnLineModel(scaleOptions(kind, rate, framing));
        times.push_back(scan.elapsedMs);
        const bool ok = scan.result.found && scan.result.verdict.line.baudRate == rate;
        right += ok ? 1 : 0;
        std::printf("%d %6d %d%c%d  %6llu ms  %s %d %d%c%d probes %zu\n", static_cast<int>(kind), rate,
                    framing.dataBits, "NOEMS"[framing.parity], framing.stopBits == 2 ? 2 : 1,
                    static_cast<unsigned long long>(scan.elapsedMs), ok ? "ok " : "BAD",
                    scan.result.verdict.line.baudRate, scan.result.verdict.line.framing.dataBits,
                    "NOEMS"[scan.result.verdict.line.framing.parity],
                    scan.result.verdict.line.framing.stopBits == 2 ? 2 : 1, scan.probes.size());
      }
    }
    std::sort(times.begin(), times.end());
    std::printf("kind %d: right %d/%zu median %llu worst %llu\n", static_cast<int>(kind), right,
                times.size(), static_cast<unsigned long long>(times[times.size() / 2]),
                static_cast<unsigned long long>(times.back()));
  }
  const LineModelScan none = scanOnLineModel(std::nullopt);
  std::printf("no scale: %llu ms, probes %zu\n", static_cast<unsigned long long>(none.elapsedMs),
              none.probes.size());
}
