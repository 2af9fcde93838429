#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/files.h"

namespace scalecheck::platform {

// Text mode is emulated on every system, the file itself opened in binary:
// a Windows text-mode stream opened with "a+" would drop a Ctrl+Z (0x1A)
// ending the file before appending, which would corrupt a frame that ended
// in one, and files from either system must hold the same bytes.
class StdioFiles : public Files {
 public:
  bool appendText(const char* path, const char* bytes, std::size_t length) override {
    std::FILE* file = std::fopen(path, "ab");
    if (file == nullptr) return false;
    std::error_code error;
    const auto sizeBefore = std::filesystem::file_size(path, error);
    bool written = writeWithCrLf(file, bytes, length);
    // fclose flushes the buffer: only its success says the bytes are stored.
    written = std::fclose(file) == 0 && written;
    if (!written && !error) {
      // Take a partly written record back, so that writing it again later
      // leaves no fragment in the file (unless even the truncation fails).
      std::filesystem::resize_file(path, sizeBefore, error);
    }
    return written;
  }

 private:
  static bool writeWithCrLf(std::FILE* file, const char* bytes, std::size_t length) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < length; ++i) {
      if (bytes[i] != '\n') continue;
      if (std::fwrite(bytes + start, 1, i - start, file) != i - start) return false;
      if (std::fwrite("\r\n", 1, 2, file) != 2) return false;
      start = i + 1;
    }
    return std::fwrite(bytes + start, 1, length - start, file) == length - start;
  }
};

Files& systemFiles() {
  static StdioFiles files;
  return files;
}

}  // namespace scalecheck::platform
