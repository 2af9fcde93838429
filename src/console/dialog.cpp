#include "console/dialog.h"

#include "console/answer_parsing.h"
#include "console/line_settings.h"
#include "console/polling_session.h"
#include "console/write_text.h"
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

constexpr std::size_t kAnswerSize = 16;  // 15 characters and the NUL

void waitForKey(platform::Console& console) {
  console.readKey();
}

LinkSettings serialSettings(std::int32_t option, std::int32_t comNumber) {
  LinkSettings settings = serialLineOption(option);
  settings.comNumber = comNumber;
  return settings;
}

}  // namespace

void writeTitle(platform::Console& console) {
  for (const auto* text : {kTitle.c_str(), kRule.c_str(), kEscHint.c_str()}) {
    writeText(console, text);
  }
}

int runDialog(platform::Console& console, platform::Services& services, PortFacts& ports) {
  platform::selectLocale("ru-RU");
  writeTitle(console);
  for (const auto* text : {kOption1.c_str(), kOption2.c_str(), kAskOption.c_str()}) {
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
  if (runPollingSession(link, console, services, ports, SessionOptions{}) ==
      SessionEnd::kNotOpened) {
    waitForKey(console);
  }
  link.close();
  return 0;
}

}  // namespace scalecheck::console
