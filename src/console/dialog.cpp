#include "console/dialog.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "console/answer_parsing.h"
#include "console/measurement_log.h"
#include "console/poll_loop.h"
#include "link/scale_link.h"
#include "platform/cp1251.h"
#include "platform/numeric_locale.h"

namespace scalecheck::console {
namespace {

using platform::cp1251;

constexpr auto kTitle = cp1251("\r\n  Программа проверки связи с весами Talvex без печати.");
constexpr auto kRule = cp1251("\r\n=====================================================");
constexpr auto kEscHint = cp1251("\r\n  Esc - выход.");
constexpr auto kOption1 = cp1251("\r\n\r\n   1). 9600,None,8,1");
constexpr auto kOption2 = cp1251("\r\n   2). 9600,Even,7,1 (модель RLV)");
constexpr auto kAskOption = cp1251("\r\n Введите вариант настроек RS-232: ");
constexpr auto kBadOption =
    cp1251("\r\nКорректно введите номер коммуникационных настроек: 1 или 2.");
constexpr auto kAskPort = cp1251("\r\n Введите порт RS-232: ");
constexpr auto kBadPort =
    cp1251("\r\nОшибка:  Корректно укажите порт RS-232: например, com1 или его номер - 1.");
constexpr auto kCannotConnect = cp1251("\r\nНе смог подключиться к весам. ");
constexpr auto kRecordsLost = cp1251("\r\nФайл был недоступен, потеряно записей:");

constexpr std::size_t kAnswerSize = 16;  // 15 characters and the NUL

// The two fixed line settings an operator can choose.
struct LineOption {
  std::uint8_t parity;
  std::uint8_t dataBits;
};
constexpr LineOption kOptions[] = {
    {parity::kNone, 8},  // 1: 9600,None,8,1
    {parity::kEven, 7},  // 2: 9600,Even,7,1, the RLV model
};

void writeText(platform::Console& console, const char* text) {
  console.write(text, std::strlen(text));
}

void waitForKey(platform::Console& console) {
  console.readKey();
}

LinkSettings serialSettings(std::int32_t option, std::int32_t comNumber) {
  LinkSettings settings;
  settings.mode = LinkMode::kRs232;
  settings.comNumber = comNumber;
  settings.tcpPort = 0;
  settings.baudRate = 9600;
  settings.parity = kOptions[option - 1].parity;
  settings.dataBits = kOptions[option - 1].dataBits;
  settings.stopBits = stop_bits::kOne;
  return settings;
}

void reportOpenFailure(const ScaleLink& link, platform::Console& console) {
  char message[kErrorTextSize];
  std::int32_t detail = 0;
  link.errorText(message, &detail);
  char number[16];
  std::snprintf(number, sizeof number, "%d, ", static_cast<int>(detail));
  writeText(console, kCannotConnect.c_str());
  writeText(console, number);
  writeText(console, message);
}

// Records that could not be written by the end of the run are counted in
// one line, never lost in silence.
void reportUnwritten(platform::Console& console, const RecordFile& log, const RecordFile& dump) {
  if (log.unwrittenCount() == 0 && dump.unwrittenCount() == 0) return;
  std::string text = kRecordsLost.c_str();
  const char* separator = " ";
  for (const auto& [file, path] :
       {std::pair{&log, kMeasurementLogPath}, std::pair{&dump, kDeviceDumpPath}}) {
    if (file->unwrittenCount() == 0) continue;
    text += separator + std::string(path) + " - " + std::to_string(file->unwrittenCount());
    separator = ", ";
  }
  text += '.';
  console.write(text.data(), text.size());
}

void pollUntilEsc(ScaleLink& link, platform::Console& console, platform::Services& services) {
  RecordFile measurementLog(services.files, kMeasurementLogPath);
  runPollLoop(link, console, services.clock, measurementLog);
  measurementLog.flush();
  link.deviceDump().flush();
  reportUnwritten(console, measurementLog, link.deviceDump());
}

}  // namespace

int runScaleCheck(platform::Console& console, platform::Services& services) {
  platform::selectLocale("ru-RU");
  for (const auto* text : {kTitle.c_str(), kRule.c_str(), kEscHint.c_str(), kOption1.c_str(),
                           kOption2.c_str(), kAskOption.c_str()}) {
    writeText(console, text);
  }
  char answer[kAnswerSize];
  console.readLine(answer, sizeof answer);
  // Ctrl+C while an answer is typed ends the program as quietly as Esc.
  if (console.interruptRequested()) return 0;
  const std::int32_t option = leadingInteger(answer);
  if (option != 1 && option != 2) {
    writeText(console, kBadOption.c_str());
    waitForKey(console);
    return 0;
  }

  writeText(console, kAskPort.c_str());
  console.readLine(answer, sizeof answer);
  if (console.interruptRequested()) return 0;
  const std::int32_t comNumber = portNumberFromAnswer(answer);
  if (comNumber == 0) {
    writeText(console, kBadPort.c_str());
    waitForKey(console);
    return 0;
  }

  ScaleLink link(serialSettings(option, comNumber), services);
  if (!link.open()) {
    reportOpenFailure(link, console);
    waitForKey(console);
    link.close();
    return 0;
  }
  pollUntilEsc(link, console, services);
  link.close();
  return 0;
}

}  // namespace scalecheck::console
