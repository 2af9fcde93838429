#include "console/open_failure_reason.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/bounded_text.h"
#include "platform/cp1251.h"
#include "program_texts.h"

namespace scalecheck::console {
namespace {

using platform::DeviceHolder;
using platform::FailureKind;
using platform::OsError;
using platform::PortInfo;
using testing::utf8;

PortInfo port(const char* name, const char* device, const char* description = "",
              const char* linkTarget = "", bool present = true) {
  PortInfo info;
  info.name = name;
  info.device = device;
  info.description = description;
  info.linkTarget = linkTarget;
  info.present = present;
  return info;
}

SerialOpenFailure failure(FailureKind kind, PortInfo tried) {
  SerialOpenFailure f;
  f.tried = std::move(tried);
  f.error = OsError{kind, 0};
  return f;
}

TEST(OpenFailureReason, SaysWhyTheSerialPortDidNotOpen) {
  const std::vector<PortInfo> someOthers = {
      port("com1", "/home/u/ports/com1", "", "/dev/ttyUSB9", false),  // dangling: not offered
      port("com2", "/home/u/ports/com2", "", "/dev/ttyUSB1"),
      port("ttyS0", "/dev/ttyS0"),
      port("ttyUSB1", "/dev/ttyUSB1", "FTDI FT232R USB UART"),
  };
  SerialOpenFailure missing = failure(FailureKind::kNoDevice, port("ttyS3", "/dev/ttyS3"));
  missing.ports = someOthers;
  const SerialOpenFailure missingNoPorts =
      failure(FailureKind::kNoDevice, port("ttyS3", "/dev/ttyS3"));
  SerialOpenFailure dangling = failure(
      FailureKind::kNoDevice, port("com1", "/home/u/ports/com1", "", "/dev/ttyUSB9", false));
  dangling.ports = someOthers;
  SerialOpenFailure joinGroup = failure(FailureKind::kNoPermission, port("ttyS0", "/dev/ttyS0"));
  joinGroup.missingGroup = "dialout";
  SerialOpenFailure heldBy = failure(FailureKind::kBusy, port("ttyUSB0", "/dev/ttyUSB0"));
  heldBy.holders = {{1234, "minicom"}, {99, "\x1b]0;x\x07\xD0\x96"}, {7, ""}};
  SerialOpenFailure refused = failure(FailureKind::kSettingsRefused, port("ttyS0", "/dev/ttyS0"));
  refused.settings.baudRate = 19200;
  refused.settings.parity = parity::kEven;
  refused.settings.dataBits = 7;

  struct Case {
    const char* what;
    SerialOpenFailure failure;
    const char* text;
  };
  const Case cases[] = {
      {"no device", missing,
       "\r\nПорт /dev/ttyS3: такого устройства нет. Найдены порты: com2 -> /dev/ttyUSB1, ttyS0, "
       "ttyUSB1 (FTDI FT232R USB UART)."},
      {"no device, no ports", missingNoPorts,
       "\r\nПорт /dev/ttyS3: такого устройства нет. Последовательных портов в системе не найдено."},
      {"dangling link", dangling,
       "\r\nПорт /home/u/ports/com1: ссылка на /dev/ttyUSB9, а такого устройства нет. Найдены "
       "порты: com2 -> /dev/ttyUSB1, ttyS0, ttyUSB1 (FTDI FT232R USB UART)."},
      {"no permission, group known", joinGroup,
       "\r\nПорт /dev/ttyS0: нет прав на открытие. Добавьте пользователя в группу dialout: sudo "
       "usermod -aG dialout $USER, затем войдите в систему заново."},
      {"no permission", failure(FailureKind::kNoPermission, port("ttyS0", "/dev/ttyS0")),
       "\r\nПорт /dev/ttyS0: нет прав на открытие."},
      // A name with control bytes must not reach the terminal as they are.
      {"busy, holders known", heldBy,
       "\r\nПорт /dev/ttyUSB0 занят другой программой: minicom (pid 1234), ?]0;x??? (pid 99), "
       "? (pid 7)."},
      {"busy", failure(FailureKind::kBusy, port("COM3", "COM3")),
       "\r\nПорт COM3 занят другой программой."},
      {"not serial", failure(FailureKind::kNotSerial, port("null", "/dev/null")),
       "\r\nПорт /dev/null: это не последовательный порт."},
      {"settings refused", refused,
       "\r\nПорт /dev/ttyS0: драйвер не принял настройки 19200,Even,7,1."},
      {"other", failure(FailureKind::kOther, port("ttyS0", "/dev/ttyS0")),
       "\r\nПорт /dev/ttyS0 не открылся."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8(serialOpenFailureText(c.failure)), c.text) << c.what;
  }
}

TEST(OpenFailureReason, GivesTheSystemsTextAndCode) {
  SerialOpenFailure f = failure(FailureKind::kOther, port("ttyS0", "/dev/ttyS0"));
  f.error.code = 5;
  const std::string text = utf8(serialOpenFailureText(f));
  const std::string start = "\r\nПорт /dev/ttyS0 не открылся: ";
  const std::string end = " (код 5).";
  ASSERT_GT(text.size(), start.size() + end.size());
  EXPECT_EQ(text.substr(0, start.size()), start);
  EXPECT_EQ(text.substr(text.size() - end.size()), end);
  EXPECT_EQ(text.find_first_of("\r\n", 2), std::string::npos) << "one line";
}

TEST(OpenFailureReason, SaysWhyTheTcpConnectFailed) {
  LinkSettings settings;
  settings.mode = LinkMode::kTcp;
  settings.tcpPort = 4001;
  struct Case {
    const char* name;  // as typed, when the host is its address
    const char* host;
    FailureKind kind;
    const char* text;
  };
  const Case cases[] = {
      {"", "10.0.0.5", FailureKind::kRefused,
       "\r\n10.0.0.5:4001: подключение отклонено, на этом порту никто не ждёт подключений. "
       "Проверьте номер порта и что TCP-сервер преобразователя включён."},
      {"scale.example.com", "10.0.0.5", FailureKind::kUnreachable,
       "\r\nscale.example.com:4001 (10.0.0.5): сеть или узел недоступны, к адресу нет маршрута. "
       "Проверьте адрес, кабель, подсеть и шлюз."},
      {"", "10.0.0.5", FailureKind::kTimedOut,
       "\r\n10.0.0.5:4001: нет ответа за 2048 мс. Узел выключен, или межсетевой экран не "
       "пропускает подключение."},
      {"scale-in-the-far-warehouse.example.com", "", FailureKind::kNameNotFound,
       "\r\nАдрес scale-in-the-far-warehouse.example.com не найден. Проверьте написание имени и "
       "настройки DNS."},
      {"", "10.0.0.5", FailureKind::kOther, "\r\n10.0.0.5:4001: не удалось подключиться."},
  };
  for (const Case& c : cases) {
    settings.hostName = c.name;
    copyBounded(settings.host, c.host);
    EXPECT_EQ(utf8(tcpConnectFailureText(settings, OsError{c.kind, 0}, 2048)), c.text) << c.name;
  }
}

TEST(OpenFailureReason, WarnsOfOtherHolders) {
  EXPECT_EQ(otherHoldersWarning("/dev/ttyUSB0", {}), "");
  const std::vector<DeviceHolder> holders = {{612, "ModemManager"}, {4100, "cat"}};
  EXPECT_EQ(utf8(otherHoldersWarning("/dev/ttyUSB0", holders)),
            "\r\nВнимание: порт /dev/ttyUSB0 открыт также другими программами: ModemManager "
            "(pid 612), cat (pid 4100). Они могут забирать данные весов.");
}

TEST(OpenFailureReason, ListsPortsOneALine) {
  EXPECT_EQ(utf8(portListText({})), "Последовательные порты не найдены.\r\n");
  PortInfo usb = port("ttyUSB0", "/dev/ttyUSB0", "FTDI FT232R USB UART");
  usb.byId = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  const std::vector<PortInfo> ports = {
      port("com1", "/home/u/ports/com1", "", "/dev/ttyUSB0"),
      port("com2", "/home/u/ports/com2", "", "/dev/ttyUSB7", false),
      port("COM3", "\\Device\\Serial2", platform::cp1251("Порт USB (COM3)\x01").c_str()),
      usb,
  };
  EXPECT_EQ(utf8(portListText(ports)),
            "  com1  /home/u/ports/com1 -> /dev/ttyUSB0\r\n"
            "  com2  /home/u/ports/com2 -> /dev/ttyUSB7 (нет такого устройства)\r\n"
            "  COM3  \\Device\\Serial2  Порт USB (COM3)?\r\n"
            "  ttyUSB0  /dev/ttyUSB0  usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0  FTDI FT232R "
            "USB UART\r\n");
}

}  // namespace
}  // namespace scalecheck::console
