#include "signals.h"

#include <csignal>

#include "serial_line.h"

namespace scalecheck::sim {
namespace {

volatile std::sig_atomic_t gQuit = 0;
volatile std::sig_atomic_t gPauseRequest = 0;  // a PauseRequest value

void onSignal(int number) {
  if (number == SIGUSR1) {
    gPauseRequest = static_cast<std::sig_atomic_t>(PauseRequest::kPause);
  } else if (number == SIGUSR2) {
    gPauseRequest = static_cast<std::sig_atomic_t>(PauseRequest::kResume);
  } else {
    gQuit = 1;
  }
}

constexpr int kHandled[] = {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2};

}  // namespace

bool SignalRequests::install(std::string& error) {
  sigset_t handled;
  sigemptyset(&handled);
  for (int number : kHandled) sigaddset(&handled, number);
  // The old mask, less ours, is the one to wait with.
  if (sigprocmask(SIG_BLOCK, &handled, &waitMask_) != 0) {
    error = systemError("blocking signals");
    return false;
  }
  for (int number : kHandled) sigdelset(&waitMask_, number);
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  for (int number : kHandled) {
    if (sigaction(number, &action, nullptr) != 0) {
      error = systemError("installing a signal handler");
      return false;
    }
  }
  if (sigaction(SIGPIPE, &ignore, nullptr) != 0) {
    error = systemError("ignoring SIGPIPE");
    return false;
  }
  return true;
}

bool SignalRequests::quitRequested() const {
  return gQuit != 0;
}

PauseRequest SignalRequests::takePauseRequest() {
  // Only read and cleared while the signals are blocked, outside ppoll.
  const auto request = static_cast<PauseRequest>(gPauseRequest);
  gPauseRequest = 0;
  return request;
}

}  // namespace scalecheck::sim
