#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace scalecheck::bench {

// scale-sim as a child process, with pipes on its standard input and
// output. Its standard error stays ours, so its complaints are seen.
class SimProcess {
 public:
  SimProcess() = default;
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Starts `program` with `arguments` and waits for its ready line ("ready
  // pty /dev/pts/N PATH" or "ready tcp HOST:PORT"). False, with the reason
  // in `error`, when it cannot start or does not get ready in time.
  bool start(const std::string& program, const std::vector<std::string>& arguments,
             std::string& error);
  // The ready line, without its line end.
  const std::string& readyLine() const { return readyLine_; }
  // Ends it with SIGTERM (SIGKILL when it does not go) and reaps it.
  void stop();

 private:
  bool readReadyLine(std::string& error);

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string readyLine_;
};

}  // namespace scalecheck::bench
