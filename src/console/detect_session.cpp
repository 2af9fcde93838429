#include "console/detect_session.h"

#include "console/detect_text.h"
#include "console/poll_loop.h"
#include "console/write_text.h"
#include "protocol/settings_scan.h"

namespace scalecheck::console {
namespace {

// Each setting tried is shown as soon as it has been, so a long scan is
// never silent; Esc or Ctrl+C is looked for at every wait of its polls.
class ScanLines final : public ScanListener {
 public:
  ScanLines(platform::Console& console, bool serial) : console_(console), serial_(serial) {}
  void probed(const ProbeOutcome& outcome) override {
    writeText(console_, probeLine(outcome, serial_));
  }
  bool stopRequested() override { return leaveRequested(console_); }

 private:
  platform::Console& console_;
  bool serial_;
};

}  // namespace

SessionEnd runDetectSession(ScaleLink& link, platform::Console& console, PortFacts& ports) {
  if (!openOrExplain(link, console, ports)) return SessionEnd::kNotOpened;
  writeText(console, scanHeading(link.linkTarget()));
  ScanLines lines(console, link.settings().mode == LinkMode::kRs232);
  const ScanResult result = scanLineSettings(link, lines);
  link.close();
  if (result.stopped) {
    writeText(console, stoppedText(result, link.settings()));
  } else if (result.found) {
    writeText(console, verdictText(result.verdict, link.settings()));
  } else if (result.lost) {
    writeText(console, lostText());
  } else {
    writeText(console, nothingFoundText(result));
  }
  return result.found ? SessionEnd::kReadings : SessionEnd::kNoReading;
}

}  // namespace scalecheck::console
