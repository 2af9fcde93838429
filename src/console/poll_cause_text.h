#pragma once

#include <string>

#include "link/link_settings.h"
#include "protocol/poll_report.h"

namespace scalecheck::console {

// Why a poll failed, in a few Russian words (Windows-1251) for the summary:
// "тишина", "байты без кадра", "кадр без единицы". Empty for a reading.
std::string causeName(PollCause cause, FrameRejection rejection);

// The same in ASCII for the trace, with the OS's reason where the link was
// lost: "bytes without a frame", "device gone: Input/output error".
std::string causeTraceText(const PollReport& report);

// The same as one ASCII word for the events of a run: "silence",
// "frame-no-unit", "device-gone". Empty for a reading.
std::string causeKeyword(PollCause cause, FrameRejection rejection);

// The line said at the end of a run in which bytes came but made no frame:
// the line settings are likely wrong, and the command that finds them names
// the port as the operator does ("--port com1", "--tcp 10.0.0.5:4001").
std::string detectSuggestion(const LinkSettings& settings);

}  // namespace scalecheck::console
