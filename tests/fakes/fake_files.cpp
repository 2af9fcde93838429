#include "fakes/fake_files.h"

#include "platform/stored_text.h"

namespace scalecheck::testing {

bool FakeFiles::appendText(const char* path, const char* bytes, std::size_t length,
                           platform::OsError& error) {
  ++appendCalls;
  if (unwritable.count(path) != 0) {
    error = failure;
    return false;
  }
  error = {};
  contents[path] += platform::storedAsText(bytes, length);
  return true;
}

}  // namespace scalecheck::testing
