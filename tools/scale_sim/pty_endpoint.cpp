#include "pty_endpoint.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>

#include "platform/serial_posix_rate.h"
#include "port_symlink.h"
#include "serial_line.h"

namespace scalecheck::sim {
namespace {

// A master end whose terminal end may be opened by others.
bool openMaster(harness::Fd& master, std::string& terminalPath, std::string& error) {
  master.reset(posix_openpt(O_RDWR | O_NOCTTY));
  if (!master.valid()) {
    error = systemError("opening a pseudo-terminal");
    return false;
  }
  if (grantpt(master.get()) != 0 || unlockpt(master.get()) != 0) {
    error = systemError("unlocking the pseudo-terminal");
    return false;
  }
  char name[128];
  // ptsname_r returns its error instead of setting errno: the message goes
  // without it.
  if (ptsname_r(master.get(), name, sizeof name) != 0) {
    error = "cannot name the pseudo-terminal's terminal end";
    return false;
  }
  terminalPath = name;
  if (!makeNonBlocking(master.get())) {
    error = systemError("making the pseudo-terminal non-blocking");
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<PtyEndpoint> PtyEndpoint::open(const std::string& linkPath,
                                               const UartSettings& line, std::string& error) {
  // Before anything else: a running simulator's link is not taken over.
  PortLock lock;
  if (!makeParentFolders(linkPath, error) || !lock.take(linkPath, error)) return nullptr;
  harness::Fd master;
  std::string terminalPath;
  if (!openMaster(master, terminalPath, error)) return nullptr;
  // O_NOCTTY: it must not become our controlling terminal.
  harness::Fd terminal(::open(terminalPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!terminal.valid()) {
    error = systemError("opening " + terminalPath);
    return nullptr;
  }
  // Raw before anyone can see it: an echo would send the reader's requests
  // back to it, and line editing would hold bytes back.
  if (!configureSerialLine(terminal.get(), line, error)) return nullptr;
  if (!placeSymlink(terminalPath, linkPath, error)) return nullptr;
  return std::unique_ptr<PtyEndpoint>(new PtyEndpoint(std::move(lock), std::move(master),
                                                      std::move(terminal), terminalPath, linkPath));
}

PtyEndpoint::PtyEndpoint(PortLock lock, harness::Fd master, harness::Fd terminal,
                         std::string terminalPath, std::string linkPath)
    : lock_(std::move(lock)),
      master_(std::move(master)),
      terminal_(std::move(terminal)),
      terminalPath_(std::move(terminalPath)),
      linkPath_(std::move(linkPath)) {}

PtyEndpoint::~PtyEndpoint() {
  removeSymlinkTo(terminalPath_, linkPath_);
}

ReadOutcome PtyEndpoint::read(std::string& bytes, std::string& note) {
  ReadOutcome outcome = ReadOutcome::kNothing;
  if (readOpenDescriptor(master_.get(), bytes, outcome)) return outcome;
  // Cannot happen while we hold the terminal end; if it does, stop rather
  // than wake up for the same hang-up again and again.
  note = systemError("reading the pseudo-terminal");
  return ReadOutcome::kFailed;
}

void PtyEndpoint::write(std::string_view bytes) {
  writeOrDrop(master_.get(), bytes);
}

std::string PtyEndpoint::readyLine() const {
  return "ready pty " + terminalPath_ + " " + linkPath_;
}

std::optional<UartSettings> PtyEndpoint::peerLine() const {
  // The master shows the rate and stop bits the reader set on its end; a
  // pseudo-terminal forces 8 data bits and no parity there, whatever it
  // was asked for. A query that fails changes nothing.
  UartSettings line;
  termios settings{};
  if (!platform::rateInForce(master_.get(), line.baud) || line.baud == 0 ||
      tcgetattr(master_.get(), &settings) != 0) {
    return std::nullopt;
  }
  line.stopBits = (settings.c_cflag & CSTOPB) != 0 ? 2 : 1;
  return line;
}

}  // namespace scalecheck::sim
