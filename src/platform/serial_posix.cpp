#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/com_number.h"
#include "platform/monotonic_posix.h"
#include "platform/pty_index_posix.h"
#include "platform/serial_port.h"
#include "platform/serial_posix_line_errors.h"
#include "platform/serial_posix_rate.h"
#include "platform/serial_posix_termios.h"
#include "platform/services.h"

// POSIX calls return -1 and set errno on failure unless said otherwise.

namespace scalecheck::platform {
namespace {

int pollTimeout(std::uint64_t milliseconds) {
  return static_cast<int>(std::min<std::uint64_t>(milliseconds, INT_MAX));
}

// Waits for `events` on one descriptor for at most `timeoutMs`. Returns the
// revents, 0 after the time-out, -1 on failure with errno kept (EINTR when
// a signal came first: the callers' own bounds decide whether to wait on).
int pollOne(int fd, short events, int timeoutMs) {
  pollfd entry{fd, events, 0};
  const int ready = ::poll(&entry, 1, timeoutMs);
  if (ready < 0) return -1;
  return ready == 0 ? 0 : entry.revents;
}

// Linux pseudo-terminals carry bytes, not bits on a wire: they keep CS8 and
// no parity whatever is asked. glibc's tcsetattr then fails with EINVAL
// when nothing else changed (any open after the first with 7E1), although
// the terminal took all it can hold. Such a refusal is no failure when the
// settings in force are the ones asked for but for that framing.
bool keptOwnFraming(int fd, const termios& asked) {
  struct stat device {};
  if (errno != EINVAL || fstat(fd, &device) != 0 || !S_ISCHR(device.st_mode) ||
      ptyIndex(device.st_rdev) < 0) {
    return false;
  }
  termios now{};
  if (tcgetattr(fd, &now) != 0) return false;
  tcflag_t framing = CSIZE | PARENB | PARODD;
#ifdef CMSPAR
  framing |= CMSPAR;
#endif
  return now.c_iflag == asked.c_iflag && now.c_oflag == asked.c_oflag &&
         now.c_lflag == asked.c_lflag && (now.c_cflag & ~framing) == (asked.c_cflag & ~framing);
}

// A COM number from a Windows port name: "com1".."com9", or any port in the
// device namespace, "\\.\com1".."\\.\com256", letters in either case, as
// CreateFileA accepts them. 0 for anything else (Windows finds no "com10"
// without the prefix).
int comNumberOf(const char* name) {
  const bool deviceNamespace = std::strncmp(name, "\\\\.\\", 4) == 0;
  const char* rest = deviceNamespace ? name + 4 : name;
  if (strncasecmp(rest, "com", 3) != 0) return 0;
  const int number = comNumberFromDigits(rest + 3);
  return deviceNamespace || number <= 9 ? number : 0;
}

// COM number N is $SCALECHECK_PORT_DIR/comN when that entry exists, so any
// device can be mapped to a COM number (com1 -> /dev/ttyUSB0), else the
// N-th on-board port, /dev/ttyS<N-1>. The entry is looked at with lstat: a
// mapping whose target is gone fails to open rather than silently reaching
// another device.
std::string devicePathOf(int comNumber) {
  const char* dir = std::getenv("SCALECHECK_PORT_DIR");
  if (dir != nullptr && dir[0] != '\0') {
    std::string mapped = std::string(dir) + "/com" + std::to_string(comNumber);
    struct stat entry {};
    if (lstat(mapped.c_str(), &entry) == 0) return mapped;
  }
  return "/dev/ttyS" + std::to_string(comNumber - 1);
}

class PosixSerialPort final : public SerialPort {
 public:
  explicit PosixSerialPort(int fd) : fd_(fd), lineErrors_(fd) {
    // A port opened on Linux has DTR and RTS raised; Windows reports the
    // same for a fresh port.
    remembered_.flags = dcb::kBinary | dcb::kDtrControlEnable | dcb::kRtsControlEnable;
  }
  ~PosixSerialPort() override {
    if (fd_ >= 0) close();
  }
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  bool getState(CommState& state) override {
    termios settings{};
    // ENOTTY: no terminal at all; EIO after a hang-up still counts as gone.
    if (tcgetattr(fd_, &settings) != 0) return failWithErrno(FailureKind::kNotSerial);
    // Members termios cannot hold read back as they were last set.
    const std::uint32_t length = state.length;
    state = remembered_;
    state.length = length;
    termiosToCommState(settings, state);
    // The rate in force, of the table or not; the table's where the system
    // cannot tell.
    std::uint32_t rate = 0;
    if (rateInForce(fd_, rate)) state.baudRate = rate;
    readModemLines(state);
    return true;
  }

  bool setState(const CommState& state) override {
    termios settings{};
    if (tcgetattr(fd_, &settings) != 0) return failWithErrno(FailureKind::kNotSerial);
    if (!commStateToTermios(state, settings)) {
      return fail(OsError{FailureKind::kSettingsRefused, EINVAL});
    }
    // tcsetattr succeeds when any one change took (glibc fails it with
    // EINVAL when none did; see keptOwnFraming). What took is not read
    // back otherwise: a partial change could not be undone any better.
    if (tcsetattr(fd_, TCSANOW, &settings) != 0 && !keptOwnFraming(fd_, settings)) {
      return failWithErrno(FailureKind::kSettingsRefused);
    }
    speed_t standard{};
    if (!baudToSpeed(state.baudRate, standard) && !setAnyRate(fd_, state.baudRate)) {
      return failWithErrno(FailureKind::kSettingsRefused);
    }
    if (!applyModemLines(state.flags)) return failWithErrno(FailureKind::kSettingsRefused);
    remembered_ = state;
    return true;
  }

  // A read here takes what is waiting and returns at once, and a write is
  // bounded by its caller: no driver time-outs apply, which is what all
  // zero says. Timed reads are not offered, so other time-outs are refused.
  bool getTimeouts(CommTimeouts& timeouts) override {
    timeouts = CommTimeouts{};
    return true;
  }

  bool setTimeouts(const CommTimeouts& timeouts) override {
    const bool none = timeouts.readInterval == 0 && timeouts.readTotalMultiplier == 0 &&
                      timeouts.readTotalConstant == 0 && timeouts.writeTotalMultiplier == 0 &&
                      timeouts.writeTotalConstant == 0;
    return none || fail(OsError{FailureKind::kSettingsRefused, EINVAL});
  }

  bool purge(std::uint32_t flags) override {
    const bool input = (flags & kPurgeRxClear) != 0;
    const bool output = (flags & kPurgeTxClear) != 0;
    // The abort flags end overlapped operations; there are none here.
    if (!input && !output) return true;
    const int queues = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    return tcflush(fd_, queues) == 0 || failWithErrno(FailureKind::kOther);
  }

  bool setEventMask(std::uint32_t mask) override {
    eventMask_ = mask;
    return true;
  }

  bool write(const std::uint8_t* bytes, std::uint32_t length, std::uint32_t& written,
             std::uint32_t maxMilliseconds) override {
    written = 0;
    const std::uint64_t start = monotonicMilliseconds();
    while (written < length) {
      // The driver may take fewer bytes than asked. EAGAIN: its queue is
      // full (the descriptor never blocks) and EINTR: a signal came first,
      // both waited out below; anything else (EIO after a hang-up) fails.
      const ssize_t taken = ::write(fd_, bytes + written, length - written);
      if (taken > 0) {
        written += static_cast<std::uint32_t>(taken);
        continue;
      }
      if (taken == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
        return failWithErrno(FailureKind::kOther);
      }
      // A queue that stays full (a reader that never reads) is waited for
      // only within the caller's bound; a signal ends no more than one
      // round of the wait.
      const std::uint64_t spent = monotonicMilliseconds() - start;
      if (spent >= maxMilliseconds) return fail(OsError{FailureKind::kOther, ETIMEDOUT});
      const int ready = pollOne(fd_, POLLOUT, pollTimeout(maxMilliseconds - spent));
      if (ready > 0 && (ready & POLLOUT) == 0) return failHungUp(ready);
    }
    return true;
  }

  // Only the transmitter-empty event is waited for: input is watched by
  // polling the status query, never by an event wait.
  bool waitEvent(std::uint32_t& events, std::uint32_t maxMilliseconds) override {
    events = 0;
    if ((eventMask_ & kEventTxEmpty) == 0) return fail(OsError{FailureKind::kOther, EINVAL});
    bool empty = false;
    if (!waitUntilSent(maxMilliseconds, empty)) return false;
    if (empty) events = kEventTxEmpty;  // else the bound passed first: no event, as a spurious wake
    return true;
  }

  bool clearError(std::uint32_t& errors, CommStatus& status) override {
    errors = 0;
    status = CommStatus{};
    const int waiting = bytesWaiting();
    if (waiting < 0) return failWithErrno(FailureKind::kOther);
    errors = lineErrors_.errorsSinceLastLook(fd_);
    int unsent = 0;
    // A driver that cannot tell the bytes not yet sent: nothing better
    // than 0 is known.
    if (ioctl(fd_, TIOCOUTQ, &unsent) != 0 || unsent < 0) unsent = 0;
    status.inQueue = static_cast<std::uint32_t>(waiting);
    status.outQueue = static_cast<std::uint32_t>(unsent);
    return true;
  }

  // Takes what is waiting, up to `length`, and returns at once. Callers ask
  // only for bytes the status query reported, but another reader of the
  // same device (POSIX has no exclusive share mode for root) may have
  // taken them in between: waiting for them could then never end. A
  // hang-up (read gives 0, or EIO) fails the read, as ReadFile fails on a
  // removed device; `got` still tells how many bytes were stored before it.
  bool read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t& got) override {
    got = 0;
    while (got < length) {
      // 0: the other end of a pseudo-terminal has gone. EAGAIN: nothing
      // waiting (the descriptor never blocks). EIO: hung up.
      const ssize_t count = ::read(fd_, buffer + got, length - got);
      if (count > 0) {
        got += static_cast<std::uint32_t>(count);
        continue;
      }
      if (count == 0) return fail(OsError{FailureKind::kGone, 0});
      if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
      if (errno != EINTR) return failWithErrno(FailureKind::kOther);
    }
    return true;
  }

  void waitForInput(std::uint32_t maxMilliseconds) override {
    // The outcome does not matter: the caller asks the driver next. A hung
    // up port returns at once, and that query then fails and ends the loop.
    pollOne(fd_, POLLIN, pollTimeout(maxMilliseconds));
  }

  bool close() override {
    if (fd_ < 0) return false;
    // Without TIOCNXCL a pseudo-terminal whose other end stays open stays
    // exclusive after the close. Its failure (a hung-up port) does not keep
    // the port: the close below releases it all the same.
    static_cast<void>(ioctl(fd_, TIOCNXCL));
    const int fd = fd_;
    fd_ = -1;
    // Linux frees the descriptor even when close reports an error, so it
    // is never closed twice.
    return ::close(fd) == 0 || failWithErrno(FailureKind::kOther);
  }

  const OsError& lastError() const override { return lastError_; }

 private:
  bool fail(const OsError& error) {
    lastError_ = error;
    return false;
  }

  // errno of the call that just failed; codes that mean the device has gone
  // count as such whatever the call, others as `otherwise`.
  bool failWithErrno(FailureKind otherwise) {
    const int code = errno;
    const FailureKind kind = classifyInUseError(code);
    return fail(OsError{kind == FailureKind::kGone ? kind : otherwise, code});
  }

  // poll reported a hang-up (POLLHUP, POLLERR) or a descriptor no longer
  // valid (POLLNVAL): the device has gone.
  bool failHungUp(int revents) {
    return fail(OsError{FailureKind::kGone, (revents & POLLNVAL) != 0 ? EBADF : EIO});
  }
  // Bytes in the receive queue, or -1 with errno (EIO after a hang-up).
  int bytesWaiting() {
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0) return -1;
    return waiting;
  }

  // Waits, at most `maxMilliseconds`, until every written byte has left
  // the transmitter; `empty` tells whether it did. The driver's queue is
  // watched first (TIOCOUTQ), since tcdrain has no bound of its own; once
  // it is empty only the UART's few bytes remain, and tcdrain waits for
  // those (at 9600 baud a 16-byte FIFO empties in about 17 ms). A signal
  // ends tcdrain early with EINTR: the caller's own bound then decides.
  bool waitUntilSent(std::uint32_t maxMilliseconds, bool& empty) {
    empty = false;
    const std::uint64_t start = monotonicMilliseconds();
    for (;;) {
      int unsent = 0;
      // A driver that cannot tell leaves it to tcdrain alone.
      if (ioctl(fd_, TIOCOUTQ, &unsent) != 0 || unsent <= 0) break;
      if (monotonicMilliseconds() - start >= maxMilliseconds) return true;
      // A byte leaves a 9600 baud line in about 1 ms: look again then.
      // poll on no descriptor: a sleep of that long.
      ::poll(nullptr, 0, 1);
    }
    // Returns at once on a pseudo-terminal.
    if (tcdrain(fd_) == 0) {
      empty = true;
      return true;
    }
    return errno == EINTR || failWithErrno(FailureKind::kOther);
  }

  // DTR and RTS as the lines stand, where the device has modem lines.
  void readModemLines(CommState& state) {
    int lines = 0;
    // ENOTTY or EINVAL: no modem lines, as on a pseudo-terminal; the values
    // last set stand then.
    if (ioctl(fd_, TIOCMGET, &lines) != 0) return;
    state.flags &= ~dcb::kDtrControlMask;
    if ((lines & TIOCM_DTR) != 0) state.flags |= dcb::kDtrControlEnable;
    if ((state.flags & dcb::kRtsControlMask) == dcb::kRtsControlHandshake) return;
    state.flags &= ~dcb::kRtsControlMask;
    if ((lines & TIOCM_RTS) != 0) state.flags |= dcb::kRtsControlEnable;
  }

  // DTR raised for "enable" and for "handshake" (Linux has no DTR flow
  // control); RTS raised or lowered unless the driver drives it (CRTSCTS).
  bool applyModemLines(std::uint32_t flags) {
    if (!setModemLine(TIOCM_DTR, (flags & dcb::kDtrControlMask) != 0)) return false;
    const std::uint32_t rts = flags & dcb::kRtsControlMask;
    if (rts == dcb::kRtsControlHandshake) return true;
    return setModemLine(TIOCM_RTS, rts == dcb::kRtsControlEnable);
  }

  bool setModemLine(int line, bool raise) {
    int bits = line;
    // ENOTTY or EINVAL where the device has no modem lines (a
    // pseudo-terminal), which is no fault.
    if (ioctl(fd_, raise ? TIOCMBIS : TIOCMBIC, &bits) == 0) return true;
    return errno == ENOTTY || errno == EINVAL;
  }

  int fd_;
  LineErrorCounter lineErrors_;
  CommState remembered_{};
  std::uint32_t eventMask_ = 0;
  OsError lastError_;
};

// Why an open(2) of a device failed, in the program's terms.
FailureKind openFailureKind(int code) {
  switch (code) {
    case ENOENT:  // no such file, or a link to one that is gone
    case ENOTDIR:
    case ELOOP:
    case ENXIO:  // no device behind the special file
    case ENODEV:
    case EIO:  // a ttyS with no UART behind it
      return FailureKind::kNoDevice;
    case EACCES:
    case EPERM:
    case EROFS:
      return FailureKind::kNoPermission;
    case EBUSY:  // held exclusively (TIOCEXCL) by another program
      return FailureKind::kBusy;
    default:
      return FailureKind::kOther;
  }
}

// Root passes TIOCEXCL, so the lock (EWOULDBLOCK while another open holds
// it) is what refuses a second open by root; TIOCEXCL refuses opens by
// programs that do not lock. Together they stand for share mode 0.
bool claimExclusively(int fd, OsError& error) {
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error = OsError{errno == EWOULDBLOCK ? FailureKind::kBusy : FailureKind::kOther, errno};
    return false;
  }
  if (ioctl(fd, TIOCEXCL) != 0) {
    error = OsError{errno == ENOTTY ? FailureKind::kNotSerial : FailureKind::kOther, errno};
    return false;
  }
  return true;
}

class PosixSerialPorts final : public SerialPorts {
 public:
  std::unique_ptr<SerialPort> open(const char* name, OsError& error) override {
    error = OsError{};
    const std::string path = deviceFor(name);
    if (path.empty()) {
      error = OsError{FailureKind::kNoDevice, ENOENT};
      return nullptr;
    }
    // Non-blocking, so that a port whose carrier is missing cannot hang the
    // open (CLOCAL is set only later); no controlling terminal; not
    // inherited by child programs.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      error = OsError{openFailureKind(errno), errno};
      return nullptr;
    }
    if (!claimExclusively(fd, error)) {
      // A failed close changes nothing: the descriptor was never used.
      static_cast<void>(::close(fd));
      return nullptr;
    }
    return std::make_unique<PosixSerialPort>(fd);
  }

  // A device path (any name with a slash, "./com1" too) is taken as it is;
  // a Windows port name is mapped (see devicePathOf); anything else names
  // no device.
  std::string deviceFor(const char* name) override {
    if (name == nullptr) return "";
    if (std::strchr(name, '/') != nullptr) return name;
    const int comNumber = comNumberOf(name);
    return comNumber == 0 ? "" : devicePathOf(comNumber);
  }
};

}  // namespace

SerialPorts& systemSerialPorts() {
  static PosixSerialPorts ports;
  return ports;
}

}  // namespace scalecheck::platform
