#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/file_watch.h"
#include "console/poll_loop.h"
#include "console/poll_tally.h"
#include "link/scale_link.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/os_error.h"

namespace scalecheck::console {

// The events of a run with --events, for a long run to be read back or
// followed by a script: one line each, written out whole as it happens,
//     2026-12-09 14:03:05.123 reading AD stable 1.234 kg
// the local time to the millisecond, an ASCII keyword, then words
// separated by single spaces; free text (a link, the OS's reason) only at
// the end. Every poll gives one line, `reading` or `failed`, so that their
// counts add up to the polls; the connection and the data files give lines
// of their own when they change.
class RunEvents final : public ConnectionObserver {
 public:
  // `link` is the link polled, whose losses are told.
  RunEvents(platform::Console& console, platform::Clock& clock, const ScaleLink& link);

  // "start LINK"
  void started(const std::string& link);
  // After each poll: "port-lost CAUSE REASON" when the connection was
  // found lost, "reopen-failed DETAIL REASON" when a reopen failed for
  // another reason than the last told, then the poll's own line.
  void polled(const PollOutcome& outcome);
  // "log-unwritable FILE REASON", "log-writable FILE"
  void filesChanged(const std::vector<FileWatch::Change>& changes);
  // "end polls N readings N failures N"
  void ended(const PollTally& tally);
  // "reopened after N ms", counted from the loss.
  void connectionReopened() override;

 private:
  void write(const platform::CalendarTime& at, const std::string& event);

  platform::Console& console_;
  platform::Clock& clock_;
  const ScaleLink& link_;
  // The tick a loss was found at, while no reopen has followed it.
  std::optional<std::uint64_t> lostAt_;
  // Reopens fail once a poll while the device is away: told once, and
  // again only when the OS gives another reason (busy instead of missing).
  std::optional<platform::OsError> reopenFailure_;
};

// "2026-12-09 14:03:05.123"
std::string eventTime(const platform::CalendarTime& time);

// A poll's own event: "reading AD stable 1.234 kg", "failed 110 silence",
// "failed 108 not-opened No such file or directory".
std::string pollEvent(const PollOutcome& outcome);

}  // namespace scalecheck::console
