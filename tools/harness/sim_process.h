#pragma once

#include <string>
#include <vector>

#include "harness/child_process.h"
#include "harness/deadline.h"
#include "harness/fd.h"

namespace scalecheck::harness {

// Where scale-sim said it is ready: "ready pty /dev/pts/N LINK",
// "ready device DEV" or "ready tcp HOST:PORT".
struct SimReady {
  std::string transport;  // "pty", "device" or "tcp"
  std::string device;     // pty, device: the terminal the reader opens
  std::string link;       // pty: the symlink to it
  std::string host;       // tcp
  int port = 0;           // tcp
};

// scale-sim as a child process: started with arguments, driven by commands
// on its standard input, each answered "ok COMMAND" (or "error REASON") on
// its standard output; ended with SIGTERM, at the latest when its owner
// goes, so that it removes its link. Its log (standard error) goes where
// this process's goes.
class SimProcess {
 public:
  SimProcess() = default;
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Starts `program` and waits until `readyBy` for its ready line. False,
  // with the reason in `error`, when it cannot start or does not get ready.
  bool start(const std::string& program, const std::vector<std::string>& arguments,
             std::string& error, const Deadline& readyBy = Deadline());

  const std::string& readyLine() const { return readyLine_; }
  const SimReady& ready() const { return ready_; }

  // Sends one command line; false when the simulator has gone.
  bool send(const std::string& line);
  // The next line of its standard output; false when none comes in time.
  bool nextLine(std::string& line, const Deadline& deadline = Deadline());
  // Sends one command and waits for its answer; true for "ok COMMAND".
  bool command(const std::string& line) { return commands({line}); }
  // Sends the commands in one write, so that the simulator takes them in
  // together, between two requests (a poll never sees half of a change),
  // and waits for their answers; true when each was "ok".
  bool commands(const std::vector<std::string>& lines);

  void signal(int number) const { process_.signal(number); }
  // Waits for its end (a "quit" command, a signal).
  ExitStatus wait(const Deadline& deadline = Deadline()) { return process_.wait(deadline); }
  // SIGTERM, as a technician's Ctrl+C: it ends cleanly and removes its link.
  ExitStatus stop(const Deadline& deadline = Deadline());

 private:
  ChildProcess process_;
  Fd commands_;
  Fd answers_;
  std::string unread_;
  std::string readyLine_;
  SimReady ready_;
};

}  // namespace scalecheck::harness
