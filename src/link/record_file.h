#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "platform/files.h"
#include "platform/os_error.h"

namespace scalecheck {

// A data file that records are appended to, each in its own open, write and
// close, so that other programs may read it between records. A record that
// cannot be written (the file held locked by a spreadsheet program, a
// read-only folder, a full disk) is not lost: it is kept in memory and
// written, in order, before the next record as soon as the file can be
// written again.
class RecordFile {
 public:
  // Records kept in memory at the most: over a day of readings at one a
  // second. Records beyond that are counted as lost.
  static constexpr std::size_t kMaxPending = 100000;

  RecordFile(platform::Files& files, const char* path);

  // Appends the record after any still waiting. False when it has to wait.
  bool append(const char* bytes, std::size_t length);
  // Writes the records still waiting; false when some still wait.
  bool flush();
  // Records not written yet, and records dropped because too many waited.
  std::size_t pendingCount() const { return pending_.size(); }
  std::size_t droppedCount() const { return dropped_; }
  // Records that will never reach the file if the program ends now.
  std::size_t unwrittenCount() const { return pending_.size() + dropped_; }

  // Whether the last try to write the file succeeded. A failed write leaves
  // its record waiting, and only a write that succeeds takes one away, so
  // records wait exactly while the file was last found unwritable. They are
  // tried again only on the next append or flush, so this is what the file
  // was at that moment.
  bool writable() const { return pending_.empty(); }
  // Why the last write that failed did so, also once the file has been
  // written again; kNone while no write has failed.
  const platform::OsError& lastFailure() const { return lastFailure_; }

 private:
  platform::Files& files_;
  std::string path_;
  std::deque<std::string> pending_;
  std::size_t dropped_ = 0;
  platform::OsError lastFailure_;
};

}  // namespace scalecheck
