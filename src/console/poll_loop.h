#pragma once

#include <cstdint>

#include "link/record_file.h"
#include "link/scale_link.h"
#include "link/weight_reading.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "protocol/poll_report.h"

namespace scalecheck::console {

// What the loop looks at after each 24 ms step: true when the operator
// asked to leave. Reads every key waiting (up to a bound per step), so that
// an Esc among keys pasted in a burst acts at once; true also on Ctrl+C or
// when the terminal has gone, since then no Esc can ever come.
bool leaveRequested(platform::Console& console);

// How one poll went.
struct PollOutcome {
  bool gotReading = false;
  WeightReading reading;           // with a reading: the reading, and how it came
  std::int32_t errorDetail = 0;    // without: the detail shown (100 + code), or 0
  PollReport report;               // what the poll heard, and why it failed
  platform::CalendarTime endedAt;  // when it ended; a reading's record has it too
};

// Told of each poll as the loop runs, to count, trace or end the run.
class PollListener {
 public:
  virtual ~PollListener() = default;
  virtual void pollStarting() = 0;
  // Whether the loop shows each poll on the console as a reading or an
  // error run on one line; a listener that tells of the polls itself says
  // no.
  virtual bool pollsShownByTheLoop() const { return true; }
  // Once the poll has been shown and its records written (or kept waiting).
  // False ends the loop at once.
  virtual bool pollEnded(const PollOutcome& outcome) = 0;
};

// Asks the scale for a weight a second after the last poll ended, shows
// each reading as a line (unless the listener tells of the polls itself)
// and appends it to the measurement log; a failed poll shows the link's
// error instead. Returns when the operator presses Esc (or asks the
// program to stop by Ctrl+C, or the terminal has gone), or when `listener`
// (if any) says so after a poll.
void runPollLoop(ScaleLink& link, platform::Console& console, platform::Clock& clock,
                 RecordFile& measurementLog, PollListener* listener = nullptr);

}  // namespace scalecheck::console
