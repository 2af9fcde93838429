#include "fakes/fake_files.h"

namespace scalecheck::testing {

bool FakeFiles::appendText(const char* path, const char* bytes, std::size_t length) {
  ++appendCalls;
  if (unwritable.count(path) != 0) return false;
  std::string& file = contents[path];
  for (std::size_t i = 0; i < length; ++i) {
    if (bytes[i] == '\n') file += '\r';
    file += bytes[i];
  }
  return true;
}

}  // namespace scalecheck::testing
