#include "port_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "serial_line.h"

namespace scalecheck::sim {
namespace {

// A simulator that ends removes its lock file after it has been opened here
// but before it was locked; then the lock taken is on a file no one else
// will find, and a new one is made. Twice in a row is already unlikely.
constexpr int kAttempts = 3;

// Whether `fd` is still the file at `path`.
bool stillAt(int fd, const std::string& path) {
  struct stat opened {};
  struct stat named {};
  return fstat(fd, &opened) == 0 && stat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// The process id the holder wrote into the lock file, for the message.
std::string holderOf(int fd) {
  char text[24] = {};
  // The holder may not have written its id yet: the message then goes
  // without it.
  const ssize_t length = pread(fd, text, sizeof text - 1, 0);
  std::string id(text, length > 0 ? static_cast<std::size_t>(length) : 0);
  while (!id.empty() && (id.back() == '\n' || id.back() == ' ')) id.pop_back();
  return id.empty() ? std::string() : " (pid " + id + ")";
}

}  // namespace

PortLock::~PortLock() {
  // Removed before the lock goes (with file_): a simulator that opened this
  // file meanwhile and locks it after us finds it no longer at the path,
  // and makes a new one.
  if (file_.valid()) unlink(path_.c_str());
}

bool PortLock::take(const std::string& linkPath, std::string& error) {
  path_ = linkPath + ".lock";
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (!lockOpenFile(linkPath, error)) return false;
    if (stillAt(file_.get(), path_)) {
      const std::string id = std::to_string(getpid()) + "\n";
      // Failures are ignored: the id only makes another simulator's
      // refusal more helpful.
      if (ftruncate(file_.get(), 0) == 0) {
        static_cast<void>(pwrite(file_.get(), id.data(), id.size(), 0));
      }
      return true;
    }
    file_.reset();
  }
  error = path_ + " keeps being replaced; is another simulator starting on " + linkPath + "?";
  return false;
}

bool PortLock::lockOpenFile(const std::string& linkPath, std::string& error) {
  // O_NOFOLLOW: a symlink planted at the name must not make us create or
  // truncate a file elsewhere.
  file_.reset(::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (!file_.valid()) {
    error = systemError("opening the lock file " + path_);
    return false;
  }
  if (flock(file_.get(), LOCK_EX | LOCK_NB) == 0) return true;
  if (errno == EWOULDBLOCK) {
    error = "another scale-sim" + holderOf(file_.get()) + " serves " + linkPath +
            "; stop it first, or give another path";
  } else {
    error = systemError("locking " + path_);
  }
  file_.reset();
  return false;
}

}  // namespace scalecheck::sim
