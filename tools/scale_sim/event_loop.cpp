#include "event_loop.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "control_command.h"
#include "fd_io.h"
#include "line_splitter.h"
#include "monotonic_clock.h"
#include "serial_line.h"

namespace scalecheck::sim {
namespace {

class EventLoop {
 public:
  EventLoop(Endpoint& endpoint, Simulator& simulator, SignalRequests& signals, ActivityLog& log)
      : endpoint_(endpoint), simulator_(simulator), signals_(signals), log_(log) {}

  int run();

 private:
  void handleSignals();
  void followPeerLine(Nanos now);
  bool waitForWork();
  bool serveLink();
  void serveCommands();
  void runCommand(const std::string& typed);

  Endpoint& endpoint_;
  Simulator& simulator_;
  SignalRequests& signals_;
  ActivityLog& log_;
  LineSplitter commandLines_;
  bool commandsOpen_ = true;  // until standard input ends
  bool quit_ = false;
  int status_ = 0;
  pollfd watched_[2] = {};
};

int EventLoop::run() {
  while (!quit_) {
    handleSignals();
    if (quit_) break;
    const Nanos now = monotonicNow();
    followPeerLine(now);
    const std::string due = simulator_.takeDue(now);
    if (!due.empty()) endpoint_.write(due);
    if (!waitForWork()) return 1;
    if (!serveLink()) return 1;
    serveCommands();
  }
  return status_;
}

void EventLoop::handleSignals() {
  if (signals_.quitRequested()) quit_ = true;
  const PauseRequest request = signals_.takePauseRequest();
  if (request == PauseRequest::kNone) return;
  const bool pause = request == PauseRequest::kPause;
  simulator_.setPaused(pause);
  ActivityLog::printLine(pause ? "paused" : "resumed");
}

// The reader may change its line settings at any moment: they are looked
// at each time bytes may cross, which costs two ioctls.
void EventLoop::followPeerLine(Nanos now) {
  if (const std::optional<UartSettings> peer = endpoint_.peerLine()) {
    simulator_.setPeerLine(*peer, now);
  }
}

// Waits for input or the next deadline; false when ppoll fails.
bool EventLoop::waitForWork() {
  watched_[0] = pollfd{endpoint_.pollDescriptor(), POLLIN, 0};
  watched_[1] = pollfd{commandsOpen_ ? STDIN_FILENO : -1, POLLIN, 0};
  timespec timeout{};
  const timespec* limit = nullptr;
  const Nanos now = monotonicNow();
  if (const std::optional<Nanos> wake = simulator_.nextWake(now)) {
    const Nanos remaining = std::max<Nanos>(0, *wake - now);
    timeout.tv_sec = static_cast<time_t>(remaining / kNanosPerSecond);
    timeout.tv_nsec = static_cast<long>(remaining % kNanosPerSecond);
    limit = &timeout;
  }
  // Nanosecond time-outs: poll()'s milliseconds are too coarse for a byte
  // every 1.04 ms. A signal (EINTR) is no failure: the loop looks at it
  // next.
  if (ppoll(watched_, 2, limit, signals_.waitMask()) >= 0) return true;
  watched_[0].revents = 0;
  watched_[1].revents = 0;
  if (errno == EINTR) return true;
  std::fprintf(stderr, "scale-sim: %s\n", systemError("waiting").c_str());
  return false;
}

// False when the link has failed for good.
bool EventLoop::serveLink() {
  if (watched_[0].revents == 0) return true;
  std::string bytes;
  std::string note;
  const Nanos now = monotonicNow();
  switch (endpoint_.read(bytes, note)) {
    case ReadOutcome::kData:
      followPeerLine(now);
      simulator_.receive(bytes, now);
      return true;
    case ReadOutcome::kNothing:
      // A descriptor that reports a hang-up or an error without giving a
      // byte would wake us again at once, for ever.
      if ((watched_[0].revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) return true;
      note = "the link reports a hang-up or an error";
      break;
    case ReadOutcome::kPeerChanged:
      log_.activity(now, note);
      simulator_.peerChanged();
      return true;
    case ReadOutcome::kFailed:
      break;
  }
  std::fprintf(stderr, "scale-sim: %s\n", note.c_str());
  return false;
}

void EventLoop::serveCommands() {
  if (watched_[1].revents == 0) return;
  std::string bytes;
  const ReadResult result = readAvailable(STDIN_FILENO, bytes);
  if (result == ReadResult::kEnd || result == ReadResult::kError) {
    // No more commands; the scale goes on until a signal ends it.
    commandsOpen_ = false;
    return;
  }
  std::vector<std::string> lines;
  commandLines_.feed(bytes, lines);
  for (const std::string& line : lines) runCommand(line);
}

void EventLoop::runCommand(const std::string& typed) {
  const std::size_t first = typed.find_first_not_of(" \t\r");
  if (first == std::string::npos) return;
  const std::string line = typed.substr(first, typed.find_last_not_of(" \t\r") + 1 - first);
  ControlCommand command;
  std::string error;
  if (!parseControlCommand(line, command, error) || !simulator_.apply(command, error)) {
    ActivityLog::printLine("error " + error);
    return;
  }
  log_.activity(monotonicNow(), "command: " + line);
  ActivityLog::printLine("ok " + line);
  if (command.kind == CommandKind::kQuit) quit_ = true;
}

}  // namespace

int runEventLoop(Endpoint& endpoint, Simulator& simulator, SignalRequests& signals,
                 ActivityLog& log) {
  return EventLoop(endpoint, simulator, signals, log).run();
}

}  // namespace scalecheck::sim
