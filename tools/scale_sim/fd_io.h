#pragma once

#include <string>
#include <string_view>

namespace scalecheck::sim {

// Owns a file descriptor and closes it once.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release();
  void reset(int fd = -1);

 private:
  int fd_ = -1;
};

// Marks `fd` non-blocking and close-on-exec. False with errno set on failure.
bool makeNonBlocking(int fd);

enum class ReadResult { kData, kNothing, kEnd, kError };

// One read() of what is waiting; EAGAIN and EINTR give kNothing, 0 kEnd.
ReadResult readAvailable(int fd, std::string& bytes);

// Writes what `fd` takes now without waiting; the rest is dropped.
void writeOrDrop(int fd, std::string_view bytes);

}  // namespace scalecheck::sim
