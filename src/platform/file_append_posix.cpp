#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/services.h"
#include "platform/stored_text.h"

// POSIX calls return -1 and set errno on failure unless said otherwise.

namespace scalecheck::platform {
namespace {

// What a failed open, write or close of a data file means.
OsError fileError(int code) {
  switch (code) {
    case EACCES:
    case EPERM:
    case EROFS:
      return {FailureKind::kNoPermission, code};
    case EISDIR:  // a folder
    case ENXIO:   // a FIFO that no program reads, a socket, a device without its driver
    case ENODEV:
      return {FailureKind::kNotRegularFile, code};
    default:
      return {FailureKind::kOther, code};
  }
}

constexpr OsError kNotRegular{FailureKind::kNotRegularFile, 0};

// Something other than a regular file at the name is refused before it is
// opened: opening and closing a FIFO would end the reader's stream, and
// opening a terminal or a serial line changes its lines. Where stat fails
// (ENOENT: the file is yet to be made) the open decides.
bool takenByOtherThanFile(const char* path) {
  struct stat info {};
  return ::stat(path, &info) == 0 && !S_ISREG(info.st_mode);
}

// Opens the file for appending, with its size at that moment; -1 when it
// cannot be, with `error` set. O_NONBLOCK: a FIFO with no reader (put there
// after the check above) fails the open at once instead of waiting for one;
// it changes nothing for a regular file. O_NOCTTY: a terminal never becomes
// ours.
int openForAppend(const char* path, std::uint64_t& size, OsError& error) {
  if (takenByOtherThanFile(path)) {
    error = kNotRegular;
    return -1;
  }
  const int fd =
      ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    error = fileError(errno);
    return -1;
  }
  struct stat info {};
  const bool known = fstat(fd, &info) == 0;
  if (!known || !S_ISREG(info.st_mode)) {
    error = known ? kNotRegular : fileError(errno);
    ::close(fd);
    return -1;
  }
  size = static_cast<std::uint64_t>(info.st_size);
  return fd;
}

// A regular file takes fewer bytes than asked only at a limit (a full
// disk, a size limit); the next call then fails and says which. `written`
// counts what reached the file.
bool writeAll(int fd, const std::string& bytes, std::size_t& written, OsError& error) {
  written = 0;
  while (written < bytes.size()) {
    const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      error = count < 0 ? fileError(errno) : OsError{FailureKind::kOther, 0};
      return false;
    }
    written += static_cast<std::size_t>(count);
  }
  return true;
}

// Takes our partial record back while the file still ends with it, so that
// writing the record again leaves no fragment. Another program could append
// between the two calls; only a lock it shared with us would close that
// window of microseconds.
bool cutBackOwnPart(int fd, std::uint64_t sizeAtOpen, std::size_t written) {
  struct stat info {};
  return fstat(fd, &info) == 0 &&
         endIsOwnWrite(sizeAtOpen, written, static_cast<std::uint64_t>(info.st_size)) &&
         ftruncate(fd, static_cast<off_t>(sizeAtOpen)) == 0;
}

class PosixFiles : public Files {
 public:
  bool appendText(const char* path, const char* bytes, std::size_t length,
                  OsError& error) override {
    error = {};
    std::uint64_t sizeAtOpen = 0;
    const int fd = openForAppend(path, sizeAtOpen, error);
    if (fd < 0) return false;
    std::size_t written = 0;
    const bool complete = writeAll(fd, storedAsText(bytes, length), written, error);
    if (!complete) cutBackOwnPart(fd, sizeAtOpen, written);
    // On a network file system a failed close may mean the bytes never
    // reached the disk: the record is tried again.
    if (::close(fd) != 0 && complete) {
      error = fileError(errno);
      return false;
    }
    return complete;
  }
};

}  // namespace

Files& systemFiles() {
  static PosixFiles files;
  return files;
}

}  // namespace scalecheck::platform
