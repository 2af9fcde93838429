#include "serial_line.h"

#include <termios.h>

#include <cerrno>
#include <cstring>

#include "platform/serial_posix_rate.h"

namespace scalecheck::sim {
namespace {

struct SpeedCode {
  std::uint32_t baud;
  speed_t code;
};

constexpr SpeedCode kSpeeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400},
};

bool speedCode(std::uint32_t baud, speed_t& code) {
  for (const SpeedCode& speed : kSpeeds) {
    if (speed.baud == baud) {
      code = speed.code;
      return true;
    }
  }
  return false;
}

tcflag_t dataBitsFlag(std::uint8_t dataBits) {
  switch (dataBits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

// Even parity is PARENB alone; mark and space are not offered.
tcflag_t parityFlags(Parity parity) {
  switch (parity) {
    case Parity::kEven:
      return PARENB;
    case Parity::kOdd:
      return PARENB | PARODD;
    case Parity::kNone:
    case Parity::kMark:
    case Parity::kSpace:
      break;
  }
  return 0;
}

void setFormat(termios& settings, const UartSettings& line) {
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  settings.c_cflag |= CLOCAL | CREAD | dataBitsFlag(line.dataBits) | parityFlags(line.parity);
  if (line.stopBits == 2) settings.c_cflag |= CSTOPB;
  // Received parity is not checked: a scale only hears ENQ and DC1.
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  // With VMIN 1 a non-blocking read gives bytes or EAGAIN, so 0 can only
  // mean a hang-up (VMIN 0 would return 0 for "nothing yet" as well).
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
}

}  // namespace

std::string systemError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

bool configureSerialLine(int fd, const UartSettings& line, std::string& error) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) {
    error = systemError("reading the line settings");
    return false;
  }
  cfmakeraw(&settings);
  setFormat(settings, line);
  speed_t code = B0;
  const bool tableSpeed = speedCode(line.baud, code);
  if (tableSpeed && (cfsetispeed(&settings, code) != 0 || cfsetospeed(&settings, code) != 0)) {
    error = systemError("setting the speed");
    return false;
  }
  // Succeeds when any one change took: a pseudo-terminal keeps 8 data bits
  // whatever it is asked for.
  if (tcsetattr(fd, TCSANOW, &settings) != 0) {
    error = systemError("applying the line settings");
    return false;
  }
  if (!tableSpeed && !platform::setAnyRate(fd, line.baud)) {
    error = systemError("setting the speed " + std::to_string(line.baud) + " baud");
    return false;
  }
  // Stale bytes from before we owned the line would look like a request.
  if (tcflush(fd, TCIOFLUSH) != 0) {
    error = systemError("emptying the line's queues");
    return false;
  }
  return true;
}

}  // namespace scalecheck::sim
