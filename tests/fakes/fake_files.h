#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/files.h"

namespace scalecheck::testing {

// Files in memory, as the text-mode append would leave them on disk (each
// LF stored as CR LF). A path in `unwritable` cannot be opened; the
// append fails with `failure`.
class FakeFiles : public platform::Files {
 public:
  bool appendText(const char* path, const char* bytes, std::size_t length,
                  platform::OsError& error) override;

  std::map<std::string, std::string> contents;
  std::set<std::string> unwritable;
  platform::OsError failure{platform::FailureKind::kNoPermission, 13};  // EACCES on POSIX
  int appendCalls = 0;
};

}  // namespace scalecheck::testing
