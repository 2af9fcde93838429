#include "platform/console_terminal_posix.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace scalecheck::platform::console_terminal {
namespace {

// What the signal handlers touch: plain values only, since they may run
// between any two instructions of the program.
termios gOwnSettings{};  // the terminal's own settings
termios gKeySettings{};  // single keys
volatile std::sig_atomic_t gSaved = 0;
volatile std::sig_atomic_t gWantKeys = 0;  // the program reads single keys
volatile std::sig_atomic_t gKeyMode = 0;   // the terminal is set for them now
volatile std::sig_atomic_t gStopRequested = 0;
int gWakeFd = -1;

constexpr int kStopSignals[] = {SIGINT, SIGQUIT, SIGHUP, SIGTERM};
constexpr int kHandledSignals[] = {SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGTSTP, SIGCONT};

// Everything below that a handler calls is async-signal-safe: tcgetpgrp,
// getpgrp, tcsetattr, write, sigaction, sigprocmask, raise.

// A standard input that is not our controlling terminal (tcgetpgrp fails
// with ENOTTY) has no foreground job to make way for.
bool ownsTerminal() {
  const pid_t owner = tcgetpgrp(STDIN_FILENO);
  return owner < 0 || owner == getpgrp();
}

// The terminal's own settings back. A job in the background leaves the
// terminal alone: it belongs to the foreground job (the shell) then. A
// failure is ignored: nothing better can be done.
void giveBackTerminal() {
  if (gKeyMode == 0) return;
  gKeyMode = 0;
  if (ownsTerminal()) static_cast<void>(tcsetattr(STDIN_FILENO, TCSANOW, &gOwnSettings));
}

// Single keys, when the program reads them and owns the terminal: a
// background job that changed it would be stopped (SIGTTOU). On failure
// keys come as echoed lines, which still works.
void takeKeys() {
  if (gWantKeys == 0 || gKeyMode != 0 || gStopRequested != 0 || !ownsTerminal()) return;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &gKeySettings) == 0) gKeyMode = 1;
}

// SIGINT, SIGQUIT, SIGHUP, SIGTERM: note the request, give the terminal
// back at once (a program killed after this leaves no raw terminal behind)
// and wake a wait for input.
void onStopSignal(int /*signal*/) {
  const int savedErrno = errno;
  gStopRequested = 1;
  giveBackTerminal();
  if (gWakeFd >= 0) {
    const char wake = 1;
    // A full pipe is no failure: it already wakes every wait.
    static_cast<void>(::write(gWakeFd, &wake, 1));
  }
  errno = savedErrno;
}

// SIGTSTP (Ctrl+Z): the terminal's own settings back, so the shell gets
// it echoed, then the stop the default action makes. The kernel drops that
// stop in a process group no shell watches (an orphaned one), so raise may
// also return at once; either way single keys are taken again after it.
void onSuspend(int signal) {
  const int savedErrno = errno;
  giveBackTerminal();
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  struct sigaction own {};
  sigset_t self;
  sigemptyset(&standard.sa_mask);
  sigemptyset(&self);
  sigaddset(&self, signal);
  sigaction(signal, &standard, &own);
  sigprocmask(SIG_UNBLOCK, &self, nullptr);
  raise(signal);  // stopped here until continued
  sigprocmask(SIG_BLOCK, &self, nullptr);
  sigaction(signal, &own, nullptr);
  takeKeys();
  errno = savedErrno;
}

// SIGCONT: the shell has set the terminal its own way while the program was
// stopped. Continued in the foreground (fg), the program takes single keys
// again; in the background (bg) it leaves the terminal to the shell.
void onContinue(int /*signal*/) {
  const int savedErrno = errno;
  gKeyMode = 0;
  takeKeys();
  errno = savedErrno;
}

// A signal the program was started with ignored (a background job, nohup)
// stays ignored. The handlers never interrupt one another. No SA_RESTART:
// a blocked read or poll returns at once.
void catchSignal(int signal, void (*handler)(int), int flags) {
  struct sigaction previous {};
  if (sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = handler;
  if (sigemptyset(&action.sa_mask) != 0) return;
  for (const int other : kHandledSignals) sigaddset(&action.sa_mask, other);
  action.sa_flags = flags;
  static_cast<void>(sigaction(signal, &action, nullptr));
}

// Holds the handled signals while the program switches the terminal
// itself, so that a handler never runs halfway through a switch.
// sigprocmask fails only for an invalid argument: not checked.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kHandledSignals) sigaddset(&held, signal);
    sigprocmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_{};
};

}  // namespace

void prepare(bool isTerminal, int wakeFd) {
  gWakeFd = wakeFd;
  // Without saved settings the terminal is never switched, and keys then
  // come as echoed lines.
  if (isTerminal && tcgetattr(STDIN_FILENO, &gOwnSettings) == 0) {
    gKeySettings = gOwnSettings;
    // No line editing, no echo; ISIG stays, so Ctrl+C still signals. No
    // IXON either: Ctrl+S would stop all output, and the poll loop with the
    // first reading it writes; Ctrl+S and Ctrl+Q are keys like any other.
    gKeySettings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    gKeySettings.c_iflag &= ~static_cast<tcflag_t>(IXON);
    gKeySettings.c_cc[VMIN] = 1;
    gKeySettings.c_cc[VTIME] = 0;
    gSaved = 1;
    catchSignal(SIGTSTP, onSuspend, 0);
    catchSignal(SIGCONT, onContinue, 0);
  }
  // Every signal that ends a program from its terminal closes the link and
  // gives the terminal back: Ctrl+C, Ctrl+\, a closed terminal, kill.
  // SA_RESETHAND: a second one ends a program that did not stop on the
  // first; the terminal is restored by then.
  for (const int signal : kStopSignals) {
    catchSignal(signal, onStopSignal, static_cast<int>(SA_RESETHAND));
  }
}

void enterKeyMode() {
  if (gSaved == 0 || (gWantKeys != 0 && gKeyMode != 0)) return;
  const SignalsHeld held;
  gWantKeys = 1;
  takeKeys();
}

void enterLineMode() {
  if (gSaved == 0 || (gWantKeys == 0 && gKeyMode == 0)) return;
  const SignalsHeld held;
  gWantKeys = 0;
  giveBackTerminal();
}

bool inKeyMode() {
  return gKeyMode != 0;
}

bool inForeground() {
  return ownsTerminal();
}

bool stopRequested() {
  return gStopRequested != 0;
}

}  // namespace scalecheck::platform::console_terminal
