#pragma once

#include <cstddef>
#include <string>

#include "platform/cp1251.h"

namespace scalecheck::testing {

// What the program writes, as a UTF-8 terminal receives it.
inline const std::string kTitle =
    "\r\n  Программа проверки связи с весами Talvex без печати."
    "\r\n====================================================="
    "\r\n  Esc - выход.";
inline const std::string kBanner = kTitle +
                                   "\r\n\r\n   1). 9600,None,8,1"
                                   "\r\n   2). 9600,Even,7,1 (модель RLV)"
                                   "\r\n Введите вариант настроек RS-232: ";
inline const std::string kAskPort = "\r\n Введите порт RS-232: ";
inline const std::string kBadOption =
    "\r\nКорректно введите номер коммуникационных настроек: 1 или 2.";
inline const std::string kBadPort =
    "\r\nОшибка:  Корректно укажите порт RS-232: например, com1 или его номер - 1.";
inline const std::string kPortNotOpened =
    "\r\nНе смог подключиться к весам. 108, Ошибка открытия порта RS-232.";
// The line after kPortNotOpened when nothing is at `device`, on a system
// with no serial port.
inline std::string noDeviceReason(const std::string& device) {
  return "\r\nПорт " + device +
         ": такого устройства нет. Последовательных портов в системе не найдено.";
}
inline const std::string kNoData = " 110Нет данных от весов.";
inline const std::string kUnknownStream =
    " 111Неизвестный поток данных... Проверьте согласованность параметров обмена.";

inline std::string recordsLost(const std::string& file, std::size_t count) {
  return "\r\nФайл был недоступен, потеряно записей: " + file + " - " + std::to_string(count) + ".";
}

// Reading lines: the mode tag, then the stability tag, weight and unit.
inline const std::string kStreamTag = "  ~22,";
inline const std::string kTwoStepTag = "  AD,";
inline const std::string kCombinedTag = "  ad,";

// Windows-1251 text the program made, in UTF-8 to compare with the above.
inline std::string utf8(const std::string& cp1251) {
  return platform::cp1251ToUtf8(cp1251.data(), cp1251.size());
}

}  // namespace scalecheck::testing
