#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/child_process.h"
#include "e2e/deadline.h"

namespace scalecheck::e2e {

// Where scale-sim said it is ready: "ready pty /dev/pts/N LINK" or
// "ready tcp HOST:PORT".
struct SimReady {
  std::string transport;  // "pty" or "tcp"
  std::string device;     // pty: the terminal the reader opens
  std::string link;       // pty: the symlink to it
  std::string host;       // tcp
  int port = 0;           // tcp
};

// The scale simulator as a child process: started with arguments, driven by
// commands on its standard input, each answered "ok COMMAND" on its standard
// output; ended with SIGTERM.
class ScaleSimProcess {
 public:
  ScaleSimProcess() = default;
  ~ScaleSimProcess() {
    for (const int fd : {commands_, answers_}) {
      if (fd >= 0) ::close(fd);
    }
  }
  ScaleSimProcess(const ScaleSimProcess&) = delete;
  ScaleSimProcess& operator=(const ScaleSimProcess&) = delete;

  // Starts it and waits for its ready line. Its log (standard error) goes
  // to the test's output.
  bool start(const std::vector<std::string>& arguments) {
    int toSim[2];
    int fromSim[2];
    // pipe2: 0, or -1 with errno. Close-on-exec keeps these ends out of
    // every other child the test starts.
    if (pipe2(toSim, O_CLOEXEC) != 0) return false;
    if (pipe2(fromSim, O_CLOEXEC) != 0) {
      ::close(toSim[0]);
      ::close(toSim[1]);
      return false;
    }
    Launch launch;
    launch.program = SCALE_SIM_PATH;
    launch.arguments = arguments;
    launch.input = toSim[0];
    launch.output = fromSim[1];
    const bool started = process_.start(launch);
    ::close(toSim[0]);
    ::close(fromSim[1]);
    commands_ = toSim[1];
    answers_ = fromSim[0];
    return started && readReady();
  }

  const SimReady& ready() const { return ready_; }

  // Sends one command and waits for its answer; true for "ok COMMAND".
  bool command(const std::string& line) {
    if (!writeAll(commands_, line + "\n")) return false;
    const Deadline deadline;
    std::string answer;
    do {
      answer = nextLine(deadline);
    } while (!answer.empty() && answer != "ok " + line && answer.rfind("error", 0) != 0);
    return answer == "ok " + line;
  }

  // SIGTERM, as a technician's Ctrl+C: it ends cleanly and removes its link.
  ExitStatus stop() {
    process_.signal(SIGTERM);
    return process_.wait(Deadline());
  }

 private:
  bool readReady() {
    std::istringstream words(nextLine(Deadline()));
    std::string ready;
    words >> ready >> ready_.transport;
    if (ready != "ready") return false;
    if (ready_.transport == "pty") {
      words >> ready_.device >> ready_.link;
      return !ready_.link.empty();
    }
    std::string address;
    words >> address;
    const std::size_t colon = address.rfind(':');
    if (ready_.transport != "tcp" || colon == std::string::npos) return false;
    ready_.host = address.substr(0, colon);
    ready_.port = std::atoi(address.c_str() + colon + 1);
    return ready_.port > 0;
  }

  // The next line of its standard output, without the line end; empty when
  // none came in time or it has ended.
  std::string nextLine(const Deadline& deadline) {
    std::size_t end = std::string::npos;
    while ((end = unread_.find('\n')) == std::string::npos) {
      if (deadline.passed() || !readSome(answers_, unread_, deadline.remainingMs())) return "";
    }
    std::string line = unread_.substr(0, end);
    unread_.erase(0, end + 1);
    return line;
  }

  ChildProcess process_;
  int commands_ = -1;
  int answers_ = -1;
  std::string unread_;
  SimReady ready_;
};

}  // namespace scalecheck::e2e
