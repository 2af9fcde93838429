#pragma once

#include <signal.h>

#include <string>

namespace scalecheck::sim {

enum class PauseRequest { kNone, kPause, kResume };

// SIGINT, SIGTERM and SIGHUP ask to quit; SIGUSR1 to pause, SIGUSR2 to
// resume. They stay blocked except while the event loop waits in ppoll with
// waitMask(), so one can never slip in between a check and the wait.
// SIGPIPE is ignored: a reader that went away is noticed by read().
class SignalRequests {
 public:
  bool install(std::string& error);

  const sigset_t* waitMask() const { return &waitMask_; }
  bool quitRequested() const;
  // The last pause or resume asked for since the previous call.
  PauseRequest takePauseRequest();

 private:
  sigset_t waitMask_{};
};

}  // namespace scalecheck::sim
