#include "protocol/scan_plan.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace scalecheck {
namespace {

std::string named(const Probe& probe) {
  static constexpr char kParities[] = "NOEMS";
  const Framing& framing = probe.line.framing;
  static const char* const kWays[] = {"all", "listen", "ask"};
  return std::to_string(probe.line.baudRate) + " " + std::to_string(framing.dataBits) +
         kParities[framing.parity] + (framing.stopBits == stop_bits::kTwo ? "2" : "1") + " " +
         kWays[static_cast<int>(probe.ways)];
}

// The probes a plan gives when each probe hears what `heard` says.
std::vector<std::string> order(const std::function<PollReport(const std::string&)>& heard) {
  ScanPlan plan;
  std::vector<std::string> probes;
  Probe probe;
  while (plan.next(probe)) {
    probes.push_back(named(probe));
    plan.heard(probe, heard(probes.back()));
  }
  return probes;
}

std::vector<std::string> prefix(const std::vector<std::string>& all, std::size_t count) {
  return {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min(count, all.size()))};
}

TEST(ScanPlan, OrderFollowsWhatIsHeard) {
  const auto nothing = [](const std::string&) { return PollReport{}; };
  const auto streamSomewhere = [](const std::string&) {
    PollReport report;
    report.bytesHeard = report.bytesUnasked = 44;
    return report;
  };
  const auto ackAt4800 = [](const std::string& probe) {
    PollReport report;
    report.ackSeen = probe == "4800 7E1 ask";
    return report;
  };
  const struct {
    const char* what;
    std::function<PollReport(const std::string&)> heard;
    std::size_t probes;
    std::vector<std::string> first;
  } cases[] = {
      // Nothing unasked in the written settings: no stream anywhere.
      {"a quiet line",
       nothing,
       56,
       {"9600 8N1 all", "9600 7E1 all", "1200 7E1 ask", "115200 7E1 ask", "57600 7E1 ask",
        "38400 7E1 ask", "19200 7E1 ask", "4800 7E1 ask", "2400 7E1 ask", "9600 8N2 ask",
        "1200 8N2 ask"}},
      {"bytes unasked",
       streamSomewhere,
       63,
       {"9600 8N1 all", "9600 7E1 all", "1200 7E1 listen", "115200 7E1 listen", "57600 7E1 listen",
        "38400 7E1 listen", "19200 7E1 listen", "4800 7E1 listen", "2400 7E1 listen",
        "1200 7E1 ask"}},
      // Something at 4800 understood ENQ: its other framings come next.
      {"an ACK at 4800",
       ackAt4800,
       56,
       {"9600 8N1 all", "9600 7E1 all", "1200 7E1 ask", "115200 7E1 ask", "57600 7E1 ask",
        "38400 7E1 ask", "19200 7E1 ask", "4800 7E1 ask", "4800 8N2 ask", "4800 8N1 ask",
        "4800 7O1 ask", "4800 8E1 ask", "4800 8O1 ask", "4800 7N2 ask", "2400 7E1 ask"}},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    const std::vector<std::string> probes = order(row.heard);
    EXPECT_EQ(probes.size(), row.probes);
    EXPECT_EQ(prefix(probes, row.first.size()), row.first);
    // Every setting of the grid is asked once.
    std::set<std::string> asked;
    for (const std::string& probe : probes) {
      if (probe.find("listen") == std::string::npos) {
        EXPECT_TRUE(asked.insert(probe.substr(0, probe.rfind(' '))).second) << probe;
      }
    }
    EXPECT_EQ(asked.size(), 56U);
  }
}

}  // namespace
}  // namespace scalecheck
