#include <gtest/gtest.h>

#include <cstring>

#include "platform/comm_state_win.h"

namespace scalecheck::platform {
namespace {

// Each bit of CommState::flags must land in the DCB bit field of its name,
// and come back unchanged.
struct FlagCase {
  const char* name;
  std::uint32_t flags;
  unsigned (*field)(const DCB&);
  unsigned expected;
};

const FlagCase kFlagCases[] = {
    {"Binary", dcb::kBinary, [](const DCB& d) -> unsigned { return d.fBinary; }, 1},
    {"ParityCheck", dcb::kParityCheck, [](const DCB& d) -> unsigned { return d.fParity; }, 1},
    {"OutxCtsFlow", dcb::kOutxCtsFlow, [](const DCB& d) -> unsigned { return d.fOutxCtsFlow; }, 1},
    {"OutxDsrFlow", dcb::kOutxDsrFlow, [](const DCB& d) -> unsigned { return d.fOutxDsrFlow; }, 1},
    {"DtrEnable", dcb::kDtrControlEnable, [](const DCB& d) -> unsigned { return d.fDtrControl; },
     DTR_CONTROL_ENABLE},
    {"DtrHandshake", 0x0020, [](const DCB& d) -> unsigned { return d.fDtrControl; },
     DTR_CONTROL_HANDSHAKE},
    {"DsrSensitivity", dcb::kDsrSensitivity,
     [](const DCB& d) -> unsigned { return d.fDsrSensitivity; }, 1},
    {"TxContinueOnXoff", dcb::kTxContinueOnXoff,
     [](const DCB& d) -> unsigned { return d.fTXContinueOnXoff; }, 1},
    {"OutX", dcb::kOutX, [](const DCB& d) -> unsigned { return d.fOutX; }, 1},
    {"InX", dcb::kInX, [](const DCB& d) -> unsigned { return d.fInX; }, 1},
    {"ErrorChar", dcb::kErrorChar, [](const DCB& d) -> unsigned { return d.fErrorChar; }, 1},
    {"Null", dcb::kNull, [](const DCB& d) -> unsigned { return d.fNull; }, 1},
    {"RtsEnable", dcb::kRtsControlEnable, [](const DCB& d) -> unsigned { return d.fRtsControl; },
     RTS_CONTROL_ENABLE},
    {"RtsHandshake", dcb::kRtsControlHandshake,
     [](const DCB& d) -> unsigned { return d.fRtsControl; }, RTS_CONTROL_HANDSHAKE},
    {"RtsToggle", dcb::kRtsControlMask, [](const DCB& d) -> unsigned { return d.fRtsControl; },
     RTS_CONTROL_TOGGLE},
    {"AbortOnError", dcb::kAbortOnError, [](const DCB& d) -> unsigned { return d.fAbortOnError; },
     1},
};

TEST(CommStateToDcb, EachFlagLandsInItsBitField) {
  for (const FlagCase& c : kFlagCases) {
    SCOPED_TRACE(c.name);
    CommState state;
    state.flags = c.flags;
    const DCB dcb = commStateToDcb(state);
    EXPECT_EQ(c.field(dcb), c.expected);
    EXPECT_EQ(dcbToCommState(dcb).flags, c.flags);
  }
}

TEST(CommStateToDcb, LineSettingsWordGivesBinaryDtrAndRts) {
  CommState state;
  state.flags = 0x1011;
  const DCB dcb = commStateToDcb(state);
  EXPECT_EQ(dcb.fBinary, 1U);
  EXPECT_EQ(dcb.fDtrControl, static_cast<unsigned>(DTR_CONTROL_ENABLE));
  EXPECT_EQ(dcb.fRtsControl, static_cast<unsigned>(RTS_CONTROL_ENABLE));
  EXPECT_EQ(dcb.fParity + dcb.fOutxCtsFlow + dcb.fOutxDsrFlow + dcb.fDsrSensitivity +
                dcb.fTXContinueOnXoff + dcb.fOutX + dcb.fInX + dcb.fErrorChar + dcb.fNull +
                dcb.fAbortOnError,
            0U);
}

TEST(CommStateToDcb, EveryOtherMemberKeepsItsValueBothWays) {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = CBR_9600;
  dcb.fBinary = 1;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.XonLim = 2048;
  dcb.XoffLim = 512;
  dcb.ByteSize = 7;
  dcb.Parity = EVENPARITY;
  dcb.StopBits = TWOSTOPBITS;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  dcb.ErrorChar = '?';
  dcb.EofChar = 0x1A;
  dcb.EvtChar = '\n';

  const CommState state = dcbToCommState(dcb);
  EXPECT_EQ(state.length, 28U);
  EXPECT_EQ(state.baudRate, 9600U);
  EXPECT_EQ(state.flags, 0x1011U);
  EXPECT_EQ(state.xonLimit, 2048);
  EXPECT_EQ(state.xoffLimit, 512);
  EXPECT_EQ(state.byteSize, 7);
  EXPECT_EQ(state.parity, 2);
  EXPECT_EQ(state.stopBits, 2);
  EXPECT_EQ(state.xonChar, 0x11);
  EXPECT_EQ(state.xoffChar, 0x13);
  EXPECT_EQ(state.errorChar, '?');
  EXPECT_EQ(state.eofChar, 0x1A);
  EXPECT_EQ(state.evtChar, '\n');

  const DCB back = commStateToDcb(state);
  EXPECT_EQ(std::memcmp(&back, &dcb, sizeof dcb), 0);
}

}  // namespace
}  // namespace scalecheck::platform
