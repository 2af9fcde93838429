#pragma once

#include <string>
#include <vector>

#include "link/record_file.h"
#include "platform/console.h"
#include "platform/os_error.h"

namespace scalecheck::console {

// Tells the operator when a data file stops taking records, and when it
// takes them again; meanwhile its records wait in memory (RecordFile). One
// line each time, not one for every record that waits.
class FileWatch {
 public:
  // `name` as the operator knows the file ("#Log.csv"). A file is taken to
  // be writable until seen otherwise.
  void watch(RecordFile& file, const std::string& name);

  // A file that stopped or started taking records.
  struct Change {
    std::string name;
    bool writable;
    platform::OsError why;  // when it stopped: why
  };
  // The files that changed since the last look.
  std::vector<Change> changes();
  // After each poll: a line for each file that changed since the last look.
  void check(platform::Console& console);
  // At the end of the run: the records still waiting are written, or
  // counted in a line (beginning with a line break, returned for the
  // caller to show), never lost in silence.
  std::string finish();

 private:
  struct Watched {
    RecordFile* file;
    std::string name;
    bool writable;
  };
  std::vector<Watched> files_;
};

// The two lines (Windows-1251), each beginning with a line break.
std::string fileUnwritableText(const std::string& name, const platform::OsError& why);
std::string fileWritableAgainText(const std::string& name);

// Why a file cannot be written, after a colon: ": нет прав на запись".
std::string whyNotWritten(const platform::OsError& error);

}  // namespace scalecheck::console
