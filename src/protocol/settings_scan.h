#pragma once

#include <cstdint>
#include <vector>

#include "link/scale_link.h"
#include "link/transport.h"
#include "link/weight_reading.h"
#include "protocol/poll_report.h"
#include "protocol/scan_plan.h"

namespace scalecheck {

// What one probe of a scan gave.
struct ProbeOutcome {
  Probe probe;
  bool applied = true;  // the port took the settings
  bool cut = false;     // given up when the scan was stopped
  // Whole frames were read: a reply, or as many stream frames as asked
  // for, all alike (same way, unit and number format).
  bool read = false;
  int readings = 0;       // polls that gave a reading
  WeightReading reading;  // the last one
  // What the polls heard, summed; the cause is the last poll's.
  PollReport heard;
  LineErrorCounts lineErrors;  // what the driver reported meanwhile
};

// The settings found, and how well they read the scale.
struct ScanVerdict {
  LineSetting line;
  WeightReading reading;  // its acquisition mode is the way
  bool clean = false;     // no parity or framing error was reported reading it
  // Other settings that read the scale alike (same way, unit and number
  // format), in the order of the framings.
  std::vector<ProbeOutcome> alike;
};

struct ScanResult {
  bool found = false;
  ScanVerdict verdict;
  bool stopped = false;              // the listener asked to stop
  bool lost = false;                 // the device or the connection went away
  std::uint32_t probes = 0;          // settings the port took and that were polled to the end
  std::uint32_t probesHeard = 0;     // of them, those at which bytes came
  std::uint32_t probesAnswered = 0;  // those at which ACK or NAK came
};

// Shows the scan as it goes, and may end it.
class ScanListener {
 public:
  virtual ~ScanListener() = default;
  virtual void probed(const ProbeOutcome& outcome) = 0;
  // Asked between the waits of each poll; once true, the scan ends at once
  // with what it has learnt.
  virtual bool stopRequested() = 0;
};

// Finds the line settings and the way at which the open link's scale
// answers, keeping the port open throughout: the settings in `plan`'s
// order, each probed by polls. Once a setting reads the scale, the other
// framings at its rate are tried the same way; of those that read it alike,
// the first in kScanFramings' order without parity or framing errors
// reported by the driver is the verdict, else the first. Over TCP only the
// way can vary: one probe. The link is left at the last settings tried.
ScanResult scanLineSettings(ScaleLink& link, ScanListener& listener, ScanPlan plan = ScanPlan());

}  // namespace scalecheck
