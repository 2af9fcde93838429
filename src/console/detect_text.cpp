#include "console/detect_text.h"

#include "console/line_settings.h"
#include "console/poll_cause_text.h"
#include "console/reading_line.h"
#include "console/system_text.h"
#include "link/tcp_transport.h"
#include "platform/cp1251.h"

namespace scalecheck::console {
namespace {

using platform::cp1251;

constexpr auto kHeading = cp1251("\r\n  Подбор настроек: ");
constexpr auto kHowToStop = cp1251(". Esc или Ctrl+C - прервать.");
constexpr auto kListen = cp1251("поток");
constexpr auto kListenAndAsk = cp1251("поток, AD, ad");
constexpr auto kBytes = cp1251("байт ");
constexpr auto kFrames = cp1251(", кадров ");
constexpr auto kParityErrors = cp1251(", ошибки чётности");
constexpr auto kFrameErrors = cp1251(", ошибки кадра");
constexpr auto kReading = cp1251(" - показание ");
constexpr auto kNotApplied = cp1251(": порт не принял эти настройки");
constexpr auto kCut = cp1251(" - прервано");
constexpr auto kFound = cp1251("\r\nНайдено: ");
constexpr auto kWay = cp1251(", способ ");
constexpr auto kStreamWay = cp1251(" (весы передают сами)");
constexpr auto kTwoStepWay = cp1251(" (запрос в два шага: ENQ, ACK, DC1)");
constexpr auto kCombinedWay = cp1251(" (совмещённый запрос: ENQ и DC1 вместе)");
constexpr auto kReadingWas = cp1251(".\r\nПоказание: ");
constexpr auto kAlsoRead = cp1251("\r\nТак же читают: ");
constexpr auto kWithErrors = cp1251(" (с ошибками)");
constexpr auto kChosenClean =
    cp1251(".\r\nВыбраны настройки, при которых драйвер не сообщил об ошибках чётности и кадра.");
constexpr auto kNoErrorsReported =
    cp1251(".\r\nОб ошибках чётности и кадра драйвер не сообщает: выбраны первые по порядку.");
constexpr auto kNoneClean =
    cp1251(".\r\nВсе они читают с ошибками чётности или кадра: выбраны первые по порядку.");
constexpr auto kCommand = cp1251("\r\nОпрос с этими настройками: ");
constexpr auto kNotFound = cp1251("\r\nВесы не найдены: ");
constexpr auto kSilentEverywhere = cp1251(
    " - тишина. Проверьте кабель (его разводку: прямой или нуль-модемный), порт и "
    "питание весов.");
constexpr auto kBytesEverywhere = cp1251(
    " приходят байты, но ни одного кадра: похоже, весы говорят на другом протоколе, "
    "или в линии помехи.");
constexpr auto kSettingsTried = cp1251("на всех проверенных настройках (");
constexpr auto kBytesSomewhere = cp1251("байты приходили на ");
constexpr auto kOutOf = cp1251(" настройках из ");
constexpr auto kNoFrame = cp1251(", но ни одного кадра");
constexpr auto kAnswered = cp1251(", ACK или NAK - на ");
constexpr auto kCheckProtocol = cp1251(": проверьте протокол весов и кабель.");
constexpr auto kStopped = cp1251("\r\nПодбор прерван, проверено настроек: ");
constexpr auto kSoFar = cp1251("\r\nПока ");
constexpr auto kLost = cp1251("\r\nСвязь с весами потеряна: порт или соединение пропали.");

const char* waysText(PollWays ways) {
  switch (ways) {
    case PollWays::kStreamOnly:
      return kListen.c_str();
    case PollWays::kRequestsOnly:
      return "AD, ad";
    case PollWays::kAll:
      break;
  }
  return kListenAndAsk.c_str();
}

std::string settingText(const LinkSettings& link, const LineSetting& line) {
  return lineSettingsText(withLine(link, line));
}

std::string heardText(const ProbeOutcome& outcome) {
  const PollReport& heard = outcome.heard;
  std::string text = kBytes.c_str() + std::to_string(heard.bytesHeard);
  if (heard.framesRecognised > 0) text += kFrames.c_str() + std::to_string(heard.framesRecognised);
  if (heard.ackSeen) text += ", ACK";
  if (heard.nakSeen) text += ", NAK";
  if (outcome.lineErrors.parity > 0) text += kParityErrors.c_str();
  if (outcome.lineErrors.frame > 0 || outcome.lineErrors.breaks > 0) text += kFrameErrors.c_str();
  if (outcome.read) return text + kReading.c_str() + wayName(outcome.reading.acquisitionMode);
  if (outcome.cut) return text + kCut.c_str();
  const std::string cause = causeName(heard.cause, heard.rejection);
  return cause.empty() ? text : text + " - " + cause;
}

const char* wayDescription(AcquisitionMode mode) {
  switch (mode) {
    case AcquisitionMode::kStream:
      return kStreamWay.c_str();
    case AcquisitionMode::kTwoStep:
      return kTwoStepWay.c_str();
    case AcquisitionMode::kCombined:
      return kCombinedWay.c_str();
    case AcquisitionMode::kNone:
      break;
  }
  return "";
}

// The reading as a run shows it, without the line's leading spaces.
std::string readingText(const WeightReading& reading) {
  char weight[kWeightTextSize];
  formatReadingWeight(reading, weight);
  char line[kReadingLineSize];
  formatReadingLine(reading, weight, line);
  const std::string text = line;
  return text.substr(text.find_first_not_of(' '));
}

std::string alikeText(const ScanVerdict& verdict, const LinkSettings& link) {
  std::string text;
  bool someWithErrors = false;
  for (const ProbeOutcome& other : verdict.alike) {
    text += (text.empty() ? kAlsoRead.c_str() : ", ") + settingText(link, other.probe.line);
    if (!other.lineErrors.clean()) {
      text += kWithErrors.c_str();
      someWithErrors = true;
    }
  }
  if (text.empty()) return text;
  if (!verdict.clean) return text + kNoneClean.c_str();
  return text + (someWithErrors ? kChosenClean.c_str() : kNoErrorsReported.c_str());
}

// What was heard over the settings tried, for a scan that found nothing.
std::string heardOverall(const ScanResult& result) {
  const std::string tried = std::to_string(result.probes);
  if (result.probesHeard == 0)
    return kSettingsTried.c_str() + tried + ")" + kSilentEverywhere.c_str();
  if (result.probesHeard == result.probes) {
    return kSettingsTried.c_str() + tried + ")" + kBytesEverywhere.c_str();
  }
  std::string text = kBytesSomewhere.c_str() + std::to_string(result.probesHeard) + kOutOf.c_str() +
                     tried + kNoFrame.c_str();
  if (result.probesAnswered > 0) text += kAnswered.c_str() + std::to_string(result.probesAnswered);
  return text + kCheckProtocol.c_str();
}

}  // namespace

std::string scanHeading(const std::string& target) {
  return kHeading.c_str() + shownArgument(target) + kHowToStop.c_str();
}

std::string probeLine(const ProbeOutcome& outcome, bool serial) {
  std::string setting = serial ? settingText(LinkSettings{}, outcome.probe.line) : "TCP";
  if (!outcome.applied) return "\r\n  " + setting + kNotApplied.c_str();
  setting.resize(15, ' ');  // "115200,Even,7,1" is the longest
  return "\r\n  " + setting + "  " + waysText(outcome.probe.ways) + ": " + heardText(outcome);
}

std::string verdictText(const ScanVerdict& verdict, const LinkSettings& link) {
  const bool serial = link.mode == LinkMode::kRs232;
  std::string text = kFound.c_str();
  text += serial ? settingText(link, verdict.line) : "TCP";
  const AcquisitionMode mode = verdict.reading.acquisitionMode;
  text += kWay.c_str() + std::string(wayName(mode)) + wayDescription(mode);
  text += kReadingWas.c_str() + readingText(verdict.reading);
  text += alikeText(verdict, link);
  return text + kCommand.c_str() + pollCommandFor(link, verdict.line);
}

std::string nothingFoundText(const ScanResult& result) {
  return kNotFound.c_str() + heardOverall(result);
}

std::string stoppedText(const ScanResult& result, const LinkSettings& link) {
  std::string text = kStopped.c_str() + std::to_string(result.probes) + ".";
  if (result.found) return text + verdictText(result.verdict, link);
  if (result.probes == 0) return text;
  return text + kSoFar.c_str() + heardOverall(result);
}

std::string lostText() {
  return kLost.c_str();
}

std::string portOption(const LinkSettings& settings) {
  if (settings.mode == LinkMode::kTcp) {
    return "--tcp " + shownArgument(TcpTransport::peerName(settings));
  }
  if (!settings.devicePath.empty()) return "--port " + shownArgument(settings.devicePath);
  return "--port com" + std::to_string(settings.comNumber);
}

std::string pollCommandFor(const LinkSettings& link, const LineSetting& line) {
  std::string command = "scalecheck " + portOption(link);
  if (link.mode == LinkMode::kTcp) return command;
  const char* parity = line.framing.parity == parity::kEven  ? "even"
                       : line.framing.parity == parity::kOdd ? "odd"
                                                             : "none";
  return command + " --baud " + std::to_string(line.baudRate) + " --data " +
         std::to_string(line.framing.dataBits) + " --parity " + parity + " --stop " +
         (line.framing.stopBits == stop_bits::kTwo ? "2" : "1");
}

}  // namespace scalecheck::console
