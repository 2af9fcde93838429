#include "link/record_file.h"

namespace scalecheck {

RecordFile::RecordFile(platform::Files& files, const char* path) : files_(files), path_(path) {}

bool RecordFile::append(const char* bytes, std::size_t length) {
  // Only when the file still cannot take the records that wait is there
  // no room for this one.
  if (pending_.size() >= kMaxPending && !flush()) {
    ++dropped_;
    return false;
  }
  pending_.emplace_back(bytes, length);
  return flush();
}

bool RecordFile::flush() {
  while (!pending_.empty()) {
    const std::string& record = pending_.front();
    platform::OsError error;
    if (!files_.appendText(path_.c_str(), record.data(), record.size(), error)) {
      lastFailure_ = error;
      return false;
    }
    pending_.pop_front();
  }
  return true;
}

}  // namespace scalecheck
