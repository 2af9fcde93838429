#include "harness/sim_process.h"

#include <cstdlib>
#include <sstream>

#include "harness/fd_io.h"

namespace scalecheck::harness {
namespace {

// A simulator ends within milliseconds of SIGTERM; one that has not ended
// two seconds after it is stuck, and is killed.
constexpr int kStopLimitMs = 2000;

// Reads a ready line; false when it is none.
bool parseReadyLine(const std::string& line, SimReady& ready) {
  std::istringstream words(line);
  std::string word;
  words >> word >> ready.transport;
  if (word != "ready") return false;
  if (ready.transport == "pty") {
    words >> ready.device >> ready.link;
    return !ready.link.empty();
  }
  if (ready.transport == "device") {
    words >> ready.device;
    return !ready.device.empty();
  }
  std::string address;
  words >> address;
  const std::size_t colon = address.rfind(':');
  if (ready.transport != "tcp" || colon == std::string::npos) return false;
  ready.host = address.substr(0, colon);
  ready.port = std::atoi(address.c_str() + colon + 1);
  return ready.port > 0;
}

}  // namespace

SimProcess::~SimProcess() {
  stop(Deadline(kStopLimitMs));
}

bool SimProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                       std::string& error, const Deadline& readyBy) {
  Fd input;
  Fd output;
  if (!makePipe(input, commands_) || !makePipe(answers_, output)) {
    error = "no pipe for scale-sim";
    return false;
  }
  Launch launch;
  launch.program = program;
  launch.arguments = arguments;
  launch.input = input.get();
  launch.output = output.get();
  if (!process_.start(launch)) {
    error = "cannot start " + program;
    return false;
  }
  // The child holds these ends now; with ours closed, its output ends
  // when it does.
  input.reset();
  output.reset();
  if (!nextLine(readyLine_, readyBy)) {
    error = readyBy.passed() ? "scale-sim did not get ready in time"
                             : "scale-sim ended before it was ready";
    return false;
  }
  if (!parseReadyLine(readyLine_, ready_)) {
    error = "scale-sim said: " + readyLine_;
    return false;
  }
  return true;
}

bool SimProcess::send(const std::string& line) {
  return writeAll(commands_.get(), line + "\n");
}

bool SimProcess::nextLine(std::string& line, const Deadline& deadline) {
  return harness::nextLine(answers_.get(), unread_, deadline, line);
}

bool SimProcess::commands(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  if (!writeAll(commands_.get(), all)) return false;
  const Deadline deadline;
  std::string answer;
  for (const std::string& line : lines) {
    do {
      if (!nextLine(answer, deadline) || answer.rfind("error", 0) == 0) return false;
    } while (answer != "ok " + line);
  }
  return true;
}

ExitStatus SimProcess::stop(const Deadline& deadline) {
  process_.signal(SIGTERM);
  return process_.wait(deadline);
}

}  // namespace scalecheck::harness
