#include "device_endpoint.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "serial_line.h"

namespace scalecheck::sim {

std::unique_ptr<DeviceEndpoint> DeviceEndpoint::open(const std::string& path,
                                                     const UartSettings& line, std::string& error) {
  // O_NONBLOCK also keeps open from waiting for a carrier on devices that
  // would.
  harness::Fd device(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!device.valid()) {
    error = systemError("opening " + path);
    return nullptr;
  }
  if (isatty(device.get()) != 1) {
    error = path + " is not a serial device";
    return nullptr;
  }
  // Two programs on one port would each get half of the bytes.
  if (flock(device.get(), LOCK_EX | LOCK_NB) != 0) {
    error = systemError(path + " is in use");
    return nullptr;
  }
  if (!configureSerialLine(device.get(), line, error)) {
    error = path + ": " + error;
    return nullptr;
  }
  return std::unique_ptr<DeviceEndpoint>(new DeviceEndpoint(std::move(device), path));
}

DeviceEndpoint::DeviceEndpoint(harness::Fd device, std::string path)
    : device_(std::move(device)), path_(std::move(path)) {}

ReadOutcome DeviceEndpoint::read(std::string& bytes, std::string& note) {
  ReadOutcome outcome = ReadOutcome::kNothing;
  if (readOpenDescriptor(device_.get(), bytes, outcome)) return outcome;
  // An unplugged USB adapter: the device will not come back under this name.
  note = systemError("reading " + path_);
  return ReadOutcome::kFailed;
}

void DeviceEndpoint::write(std::string_view bytes) {
  writeOrDrop(device_.get(), bytes);
}

}  // namespace scalecheck::sim
