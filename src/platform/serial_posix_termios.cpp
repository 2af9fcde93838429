#include "platform/serial_posix_termios.h"

namespace scalecheck::platform {
namespace {

struct BaudSpeed {
  std::uint32_t baud;
  speed_t speed;
};

// The standard rates termios names; any other is set through termios2.
constexpr BaudSpeed kBaudSpeeds[] = {
    {50, B50},         {75, B75},     {110, B110},   {134, B134},     {150, B150},
    {200, B200},       {300, B300},   {600, B600},   {1200, B1200},   {1800, B1800},
    {2400, B2400},     {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400},
#ifdef B57600
    {57600, B57600},
#endif
#ifdef B115200
    {115200, B115200},
#endif
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

bool dataBitsFlag(std::uint8_t byteSize, tcflag_t& flag) {
  switch (byteSize) {
    case 5:
      flag = CS5;
      return true;
    case 6:
      flag = CS6;
      return true;
    case 7:
      flag = CS7;
      return true;
    case 8:
      flag = CS8;
      return true;
    default:
      return false;
  }
}

std::uint8_t dataBitsOf(tcflag_t cflag) {
  switch (cflag & CSIZE) {
    case CS5:
      return 5;
    case CS6:
      return 6;
    case CS7:
      return 7;
    default:
      return 8;
  }
}

// DCB parity codes: 0 none, 1 odd, 2 even, 3 mark, 4 space. Mark and space
// are "stick" parity: CMSPAR with PARODD gives a parity bit always 1.
bool parityFlags(std::uint8_t parity, tcflag_t& flags) {
  switch (parity) {
    case 0:
      flags = 0;
      return true;
    case 1:
      flags = PARENB | PARODD;
      return true;
    case 2:
      flags = PARENB;
      return true;
#ifdef CMSPAR
    case 3:
      flags = PARENB | PARODD | CMSPAR;
      return true;
    case 4:
      flags = PARENB | CMSPAR;
      return true;
#endif
    default:
      return false;
  }
}

std::uint8_t parityOf(tcflag_t cflag) {
  if ((cflag & PARENB) == 0) return 0;
  const bool odd = (cflag & PARODD) != 0;
#ifdef CMSPAR
  if ((cflag & CMSPAR) != 0) return odd ? 3 : 4;
#endif
  return odd ? 1 : 2;
}

// Everything cfmakeraw clears, and every framing and flow-control bit this
// translation sets, so nothing of the previous settings survives unasked.
void makeRaw(termios& settings) {
  settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP |
                                             INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
  settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tcflag_t framing = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS;
#ifdef CMSPAR
  framing |= CMSPAR;
#endif
  settings.c_cflag &= ~framing;
}

}  // namespace

bool baudToSpeed(std::uint32_t baud, speed_t& speed) {
  for (const BaudSpeed& entry : kBaudSpeeds) {
    if (entry.baud == baud) {
      speed = entry.speed;
      return true;
    }
  }
  return false;
}

std::uint32_t speedToBaud(speed_t speed) {
  for (const BaudSpeed& entry : kBaudSpeeds) {
    if (entry.speed == speed) return entry.baud;
  }
  return 0;
}

bool commStateToTermios(const CommState& state, termios& settings) {
  tcflag_t dataBits = 0;
  tcflag_t parity = 0;
  const std::uint32_t dtr = state.flags & dcb::kDtrControlMask;
  const std::uint32_t rts = state.flags & dcb::kRtsControlMask;
  if (state.baudRate == 0 || !dataBitsFlag(state.byteSize, dataBits) ||
      !parityFlags(state.parity, parity) || state.stopBits > 2 || dtr == dcb::kDtrControlMask ||
      rts == dcb::kRtsControlMask) {
    return false;
  }
  termios result = settings;
  makeRaw(result);
  result.c_cflag |= CLOCAL | CREAD | dataBits | parity;
  // One and a half stop bits is what a UART sends for CSTOPB with 5 bits.
  if (state.stopBits != 0) result.c_cflag |= CSTOPB;
  if ((state.flags & dcb::kParityCheck) != 0) result.c_iflag |= INPCK;
  // Linux ties CTS watching and RTS handshaking together in one bit.
  if ((state.flags & dcb::kOutxCtsFlow) != 0 || rts == dcb::kRtsControlHandshake) {
    result.c_cflag |= CRTSCTS;
  }
  if ((state.flags & dcb::kOutX) != 0) result.c_iflag |= IXON;
  if ((state.flags & dcb::kInX) != 0) result.c_iflag |= IXOFF;
  result.c_cc[VSTART] = static_cast<cc_t>(state.xonChar);
  result.c_cc[VSTOP] = static_cast<cc_t>(state.xoffChar);
  // A read returns as soon as one byte is there; the time-outs are ours.
  result.c_cc[VMIN] = 1;
  result.c_cc[VTIME] = 0;
  // Every speed of the table is one the system knows: these fail only
  // where it lacks one.
  speed_t speed{};
  if (baudToSpeed(state.baudRate, speed) &&
      (cfsetispeed(&result, speed) != 0 || cfsetospeed(&result, speed) != 0)) {
    return false;
  }
  settings = result;
  return true;
}

void termiosToCommState(const termios& settings, CommState& state) {
  state.baudRate = speedToBaud(cfgetospeed(&settings));
  state.byteSize = dataBitsOf(settings.c_cflag);
  state.parity = parityOf(settings.c_cflag);
  state.stopBits = (settings.c_cflag & CSTOPB) != 0 ? 2 : 0;
  state.flags &= ~(dcb::kParityCheck | dcb::kOutxCtsFlow | dcb::kOutX | dcb::kInX);
  state.flags |= dcb::kBinary;  // Windows knows no other mode
  if ((settings.c_iflag & INPCK) != 0) state.flags |= dcb::kParityCheck;
  if ((settings.c_iflag & IXON) != 0) state.flags |= dcb::kOutX;
  if ((settings.c_iflag & IXOFF) != 0) state.flags |= dcb::kInX;
  const bool handshake = (settings.c_cflag & CRTSCTS) != 0;
  const std::uint32_t rts = state.flags & dcb::kRtsControlMask;
  if (handshake) {
    state.flags =
        (state.flags & ~dcb::kRtsControlMask) | dcb::kRtsControlHandshake | dcb::kOutxCtsFlow;
  } else if (rts == dcb::kRtsControlHandshake) {
    state.flags = (state.flags & ~dcb::kRtsControlMask) | dcb::kRtsControlEnable;
  }
  state.xonChar = static_cast<char>(settings.c_cc[VSTART]);
  state.xoffChar = static_cast<char>(settings.c_cc[VSTOP]);
}

}  // namespace scalecheck::platform
