#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "platform/console.h"
#include "platform/cp1251.h"

namespace scalecheck::platform {
namespace {

// What the signal handler touches: plain values only, since it may run
// between any two instructions of the program.
termios gSavedTerminal{};  // the terminal's own settings
volatile std::sig_atomic_t gTerminalSaved = 0;
volatile std::sig_atomic_t gKeyMode = 0;  // the terminal is set for single keys now
volatile std::sig_atomic_t gInterrupted = 0;
int gWakeWrite = -1;  // the handler's end of the pipe that wakes a blocked wait

// SIGINT, SIGTERM: note the request, give the terminal its own settings
// back at once (a program killed after this leaves no raw terminal behind)
// and wake a wait for input. tcsetattr and write are async-signal-safe.
void onStopSignal(int /*signal*/) {
  const int savedErrno = errno;
  gInterrupted = 1;
  if (gKeyMode != 0) {
    static_cast<void>(tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTerminal));
    gKeyMode = 0;
  }
  if (gWakeWrite >= 0) {
    const char wake = 1;
    // A full pipe is no failure: it already wakes every wait.
    static_cast<void>(::write(gWakeWrite, &wake, 1));
  }
  errno = savedErrno;
}

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

class PosixConsole final : public Console {
 public:
  // isatty: 1 for a terminal, or 0 with errno (ENOTTY for a pipe or file,
  // EBADF when there is no standard input at all).
  PosixConsole() : isTerminal_(isatty(STDIN_FILENO) == 1) {
    // tcgetattr: 0, or -1 with errno; without saved settings the terminal is
    // never switched, and keys then come as echoed lines.
    if (isTerminal_ && tcgetattr(STDIN_FILENO, &gSavedTerminal) == 0) gTerminalSaved = 1;
    openWakePipe();
    // Every signal that ends a program from its terminal closes the link
    // and gives the terminal back: Ctrl+C, Ctrl+\, a closed terminal, kill.
    for (const int signal : {SIGINT, SIGQUIT, SIGHUP, SIGTERM}) catchStopSignal(signal);
    // A reader of the output that goes away (scalecheck | tee, then tee
    // ends) must not kill the program: the write fails with EPIPE instead,
    // and the run goes on to close the link and count unwritten records.
    // signal: the previous disposition, or SIG_ERR; nothing better can be
    // done if it fails.
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
  }

  // Runs at the normal end of the process: the terminal gets its own
  // settings back.
  ~PosixConsole() override { enterLineMode(); }

  PosixConsole(const PosixConsole&) = delete;
  PosixConsole& operator=(const PosixConsole&) = delete;

  void write(const char* text1251, std::size_t length) override {
    if (text1251 == nullptr || length == 0) return;
    const std::string utf8 = cp1251ToUtf8(text1251, length);
    std::size_t done = 0;
    while (done < utf8.size()) {
      // write: bytes written, or -1 with errno (EINTR: a signal came first;
      // EAGAIN where another program left the output non-blocking; EPIPE or
      // EIO when the reader or the terminal has gone).
      const ssize_t written = ::write(STDOUT_FILENO, utf8.data() + done, utf8.size() - done);
      if (written > 0) {
        done += static_cast<std::size_t>(written);
      } else if (written < 0 && errno == EAGAIN) {
        pollfd output{STDOUT_FILENO, POLLOUT, 0};
        // poll: as in waitForInput; a failure leaves the text unwritten.
        if (::poll(&output, 1, -1) < 0 && errno != EINTR) return;
      } else if (written >= 0 || errno != EINTR) {
        return;  // no one is left to read the text
      }
    }
  }

  void readLine(char* buffer, std::size_t size) override {
    if (buffer == nullptr || size == 0) return;
    enterLineMode();
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
    if (gInterrupted != 0) kept = 0;  // a stop request leaves no half answer
    buffer[kept] = '\0';
  }

  bool keyWaiting() override {
    enterKeyMode();
    if (pending_ >= 0) return true;
    // A byte is taken ahead to tell a key from the end of input: a pipe
    // at its end, or a terminal gone, is readable too but holds no key.
    const int byte = readByte(0);
    if (byte < 0) return false;
    pending_ = byte;
    return true;
  }

  int readKey() override {
    enterKeyMode();
    const int byte = readByte(-1);
    if (byte < 0) return -1;
    if (byte != kKeyEscape) return byte;
    return skipSequenceAfterEscape() ? kKeySequence : kKeyEscape;
  }

  bool interruptRequested() override { return gInterrupted != 0; }

 private:
  // The handler writes into this pipe, so a poll that waits for input
  // wakes however the signal and the poll call fall in time. pipe2: 0, or
  // -1 with errno; without the pipe a signal still interrupts the poll
  // itself, only one landing just before it would go unnoticed.
  void openWakePipe() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    wakeRead_ = ends[0];
    gWakeWrite = ends[1];
  }

  // sigaction, sigemptyset: 0, or -1 with errno. A signal the program was started with
  // ignored (a background job) stays ignored. SA_RESETHAND: a second Ctrl+C
  // ends a program that does not stop on the first; the terminal is restored
  // by then. No SA_RESTART: a blocked read returns at once.
  static void catchStopSignal(int signal) {
    struct sigaction previous {};
    if (sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) return;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    if (sigemptyset(&action.sa_mask) != 0) return;
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    static_cast<void>(sigaction(signal, &action, nullptr));
  }

  // Single keys: no line editing, no echo; ISIG stays so Ctrl+C still
  // signals. tcsetattr: 0, or -1 with errno; keys then come as echoed lines,
  // which still works.
  void enterKeyMode() {
    if (gTerminalSaved == 0 || gKeyMode != 0 || gInterrupted != 0) return;
    termios keys = gSavedTerminal;
    keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    gKeyMode = 1;  // set first: a signal arriving during the call restores
    if (tcsetattr(STDIN_FILENO, TCSANOW, &keys) != 0) {
      gKeyMode = 0;
      return;
    }
    // A stop signal that came between the flag and the switch has restored
    // the terminal already, and the switch undid that: restore again.
    if (gInterrupted != 0) enterLineMode();
  }

  // The terminal's own settings: echoed, edited lines.
  void enterLineMode() {
    if (gTerminalSaved == 0) return;
    if (gKeyMode == 0 && gInterrupted == 0) return;
    gKeyMode = 0;
    static_cast<void>(tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTerminal));
  }

  // Waits until standard input is readable (data, its end or an error) or a
  // stop was requested. poll: the number of ready descriptors, 0 after the
  // time-out, or -1 with errno (EINTR for a signal).
  Wait waitForInput(int timeoutMs) const {
    pollfd watched[2] = {{STDIN_FILENO, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    const nfds_t count = wakeRead_ >= 0 ? 2 : 1;
    for (;;) {
      if (gInterrupted != 0) return Wait::kInterrupted;
      const int ready = ::poll(watched, count, timeoutMs);
      if (gInterrupted != 0) return Wait::kInterrupted;
      if (ready == 0) return Wait::kTimedOut;
      // Another signal (a resized window, say) restarts the wait.
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
    while (!atEnd_) {
      const Wait wait = waitForInput(timeoutMs);
      if (wait == Wait::kInterrupted) return kEndOfInput;
      if (wait == Wait::kTimedOut) return kNoByte;
      unsigned char byte = 0;
      // read: 1, 0 at the end of input, or -1 with errno (EINTR: a signal;
      // EAGAIN where another program left the input non-blocking; EIO when
      // the terminal has gone).
      const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
      if (got == 1) return byte;
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      // Ctrl+D on an empty terminal line ends that answer only; the
      // operator may still type the next.
      if (got == 0 && isTerminal_ && gKeyMode == 0) return kEndOfInput;
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
  int wakeRead_ = -1;
  int pending_ = -1;  // a byte read ahead by keyWaiting
  bool atEnd_ = false;
};

}  // namespace

Console& systemConsole() {
  static PosixConsole console;
  return console;
}

}  // namespace scalecheck::platform
