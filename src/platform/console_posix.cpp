#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <string>

#include "platform/console.h"
#include "platform/console_output_posix.h"
#include "platform/console_terminal_posix.h"
#include "platform/cp1251.h"
#include "platform/monotonic_posix.h"

namespace scalecheck::platform {
namespace {

// The code readKey gives for a key that sends a sequence (arrows, function
// keys, Alt+letter): outside the byte range, so never Esc nor a character.
constexpr int kKeySequence = 0x100;
// A terminal writes the bytes of one key's sequence together, so they are
// readable as soon as its ESC is, or within a few milliseconds when a slow
// link splits them. A lone Esc is thus known once this much time has passed
// with nothing after it; 10 ms keeps Esc well within the poll loop's 24 ms
// step, yet covers the split case on a local or LAN session. Over a slower
// link an arrow key may arrive split wider and read as Esc; the grace would
// have to grow with the link's delay, which no setting here can know.
constexpr int kSequenceGraceMs = 10;
// CSI sequences end with a byte from '@' to '~'; a longer run than this is
// no key (pasted text, say) and is left unread.
constexpr int kLongestSequence = 16;
constexpr int kNoByte = -1;      // nothing within the time given
constexpr int kEndOfInput = -2;  // end of input, a read error, or a stop request

enum class Wait { kReady, kTimedOut, kInterrupted };

// The pipe a stop signal writes into, so that a poll waiting for input or
// output wakes however the signal and the poll call fall in time. Without
// it (pipe2 failed) a signal still interrupts the poll itself; only one
// landing just before it would go unnoticed.
struct WakePipe {
  WakePipe() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd = ends[0];
    writeEnd = ends[1];
  }
  int readEnd = -1;
  int writeEnd = -1;
};

namespace terminal = console_terminal;

// The texts end their lines with CR LF, as the Windows console wants; shell
// tools reading a pipe or a file on POSIX expect LF alone.
std::string withLfLineEnds(const std::string& text) {
  std::string lf;
  lf.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') lf += text[i];
  }
  return lf;
}

// Standard output or standard error, and how its lines end.
struct Stream {
  Stream(int stream, int wakeFd) : fd(stream), output(stream, wakeFd) {}

  void write(const char* text1251, std::size_t length) {
    if (text1251 == nullptr || length == 0) return;
    const std::string utf8 = cp1251ToUtf8(text1251, length);
    const std::string text = lfLineEnds ? withLfLineEnds(utf8) : utf8;
    output.write(text.data(), text.size());
  }

  const int fd;
  BoundedOutput output;
  bool lfLineEnds = false;
};

class PosixConsole final : public Console {
 public:
  PosixConsole()
      : isTerminal_(isatty(STDIN_FILENO) == 1),
        output_(STDOUT_FILENO, wake_.readEnd),
        errors_(STDERR_FILENO, wake_.readEnd) {
    terminal::prepare(isTerminal_, wake_.writeEnd);
    // A reader of the output that goes away (scalecheck | tee, then tee
    // ends) must not kill the program: the write fails with EPIPE instead,
    // and the run goes on to close the link and count unwritten records.
    // A failure is ignored: nothing better could be done.
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
  }

  // Runs at the normal end of the process: the terminal gets its own
  // settings back.
  ~PosixConsole() override { terminal::enterLineMode(); }

  PosixConsole(const PosixConsole&) = delete;
  PosixConsole& operator=(const PosixConsole&) = delete;

  void write(const char* text1251, std::size_t length) override { output_.write(text1251, length); }

  void writeError(const char* text1251, std::size_t length) override {
    (shellConventions_ ? errors_ : output_).write(text1251, length);
  }

  void followShellConventions() override {
    shellConventions_ = true;
    for (Stream* stream : {&output_, &errors_}) stream->lfLineEnds = isatty(stream->fd) != 1;
  }

  void readLine(char* buffer, std::size_t size) override {
    if (buffer == nullptr || size == 0) return;
    terminal::enterLineMode();
    std::size_t kept = 0;
    bool lastKept = false;  // the byte just read went into the buffer
    for (;;) {
      const int byte = readByte(-1);
      if (byte < 0) break;
      if (byte == '\n') {
        if (lastKept && buffer[kept - 1] == '\r') --kept;
        break;
      }
      lastKept = kept + 1 < size;
      if (lastKept) buffer[kept++] = static_cast<char>(byte);
    }
    if (terminal::stopRequested()) kept = 0;  // a stop request leaves no half answer
    buffer[kept] = '\0';
  }

  bool keyWaiting() override {
    terminal::enterKeyMode();
    if (pending_ >= 0) return true;
    // A job in the background gets no keys: reading its terminal would
    // stop it (SIGTTIN) until the shell brings it back.
    if (isTerminal_ && !terminal::inForeground()) return false;
    // A byte is taken ahead to tell a key from the end of input: a pipe
    // at its end, or a terminal gone, is readable too but holds no key.
    const int byte = readByte(0);
    if (byte < 0) return false;
    pending_ = byte;
    return true;
  }

  int readKey() override {
    terminal::enterKeyMode();
    const int byte = readByte(-1);
    if (byte < 0) return -1;
    if (byte != kKeyEscape) return byte;
    return skipSequenceAfterEscape() ? kKeySequence : kKeyEscape;
  }

  bool interruptRequested() override { return terminal::stopRequested(); }

  bool inputGone() override { return isTerminal_ && atEnd_; }

 private:
  static constexpr std::uint64_t kNoBound = ~std::uint64_t{0};

  // poll's time-out for the rest of a bound: -1 waits without one.
  static int msUntil(std::uint64_t until) {
    if (until == kNoBound) return -1;
    const std::uint64_t now = monotonicMilliseconds();
    return now >= until ? 0 : static_cast<int>(std::min<std::uint64_t>(until - now, INT_MAX));
  }

  // Waits until standard input is readable (data, its end or an error) or a
  // stop was requested, at most until `until` (kNoBound: no bound).
  Wait waitForInput(std::uint64_t until) {
    pollfd watched[2] = {{STDIN_FILENO, POLLIN, 0}, {wake_.readEnd, POLLIN, 0}};
    const nfds_t count = wake_.readEnd >= 0 ? 2 : 1;
    for (;;) {
      if (terminal::stopRequested()) return Wait::kInterrupted;
      const int ready = ::poll(watched, count, msUntil(until));
      if (terminal::stopRequested()) return Wait::kInterrupted;
      if (ready == 0) return Wait::kTimedOut;
      // A terminal whose other side has gone reports a hang-up (with
      // POLLIN: what was typed before may still be read).
      hungUp_ = ready > 0 && (watched[0].revents & (POLLHUP | POLLERR)) != 0;
      // Another signal (a resized window, a continue) restarts the wait.
      if (ready > 0 || errno != EINTR) return Wait::kReady;
    }
  }

  // The next byte of input (0..255), kNoByte when none comes within
  // `timeoutMs` (-1: no bound), or kEndOfInput.
  int readByte(int timeoutMs) {
    if (pending_ >= 0) {
      const int byte = pending_;
      pending_ = -1;
      return byte;
    }
    // One bound for the whole read: a signal or a byte another program took
    // first (EAGAIN) does not start the wait afresh.
    const std::uint64_t until =
        timeoutMs < 0 ? kNoBound : monotonicMilliseconds() + static_cast<std::uint64_t>(timeoutMs);
    while (!atEnd_) {
      const Wait wait = waitForInput(until);
      if (wait == Wait::kInterrupted) return kEndOfInput;
      if (wait == Wait::kTimedOut) return kNoByte;
      unsigned char byte = 0;
      // EAGAIN: another program left the input non-blocking. EIO: the
      // terminal has gone.
      const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
      if (got == 1) return byte;
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      // Ctrl+D on an empty line of a terminal that is still there ends
      // that answer only; the operator may still type the next. Set for
      // single keys, a terminal gives no end but its own going away.
      if (got == 0 && isTerminal_ && !terminal::inKeyMode() && !hungUp_) return kEndOfInput;
      atEnd_ = true;
    }
    return kEndOfInput;
  }

  // Called after an ESC. A key's sequence follows its ESC at once: CSI
  // "ESC [ params final" (arrows, Home, F5..F12; the Linux console's F1..F5
  // are "ESC [ [ letter"), SS3 "ESC O letter" (F1..F4, arrows in
  // application mode), "ESC byte" for Alt+key, and "ESC ESC ..." for Alt
  // with one of those. True, with the sequence consumed, when anything
  // followed within the grace time; false for a lone Esc.
  bool skipSequenceAfterEscape() {
    int next = readByte(kSequenceGraceMs);
    if (next < 0) return false;
    if (next == kKeyEscape) next = readByte(kSequenceGraceMs);
    if (next == '[') {
      skipControlSequence();
    } else if (next == 'O') {
      static_cast<void>(readByte(kSequenceGraceMs));
    }
    return true;
  }

  void skipControlSequence() {
    int byte = readByte(kSequenceGraceMs);
    if (byte == '[') byte = readByte(kSequenceGraceMs);
    for (int length = 0; byte >= 0 && length < kLongestSequence; ++length) {
      if (byte >= '@' && byte <= '~') return;
      byte = readByte(kSequenceGraceMs);
    }
  }

  const bool isTerminal_;
  WakePipe wake_;
  Stream output_;
  Stream errors_;
  bool shellConventions_ = false;
  int pending_ = -1;  // a byte read ahead by keyWaiting
  bool atEnd_ = false;
  bool hungUp_ = false;  // the last wait saw the terminal hang up
};

}  // namespace

Console& systemConsole() {
  static PosixConsole console;
  return console;
}

}  // namespace scalecheck::platform
