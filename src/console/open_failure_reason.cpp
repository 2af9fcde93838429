#include "console/open_failure_reason.h"

#include "console/line_settings.h"
#include "console/system_text.h"
#include "link/tcp_transport.h"
#include "platform/cp1251.h"

namespace scalecheck::console {
namespace {

using platform::cp1251;
using platform::DeviceHolder;
using platform::FailureKind;
using platform::OsError;
using platform::PortInfo;

constexpr auto kPort = cp1251("\r\nПорт ");
constexpr auto kNoSuchDevice = cp1251(": такого устройства нет.");
constexpr auto kLinksTo = cp1251(": ссылка на ");
constexpr auto kButNoSuchDevice = cp1251(", а такого устройства нет.");
constexpr auto kPortsFound = cp1251(" Найдены порты: ");
constexpr auto kNoPortsFound = cp1251(" Последовательных портов в системе не найдено.");
constexpr auto kNoPermission = cp1251(": нет прав на открытие.");
constexpr auto kJoinGroup = cp1251(" Добавьте пользователя в группу ");
constexpr auto kLogInAgain = cp1251(", затем войдите в систему заново.");
constexpr auto kBusy = cp1251(" занят другой программой");
constexpr auto kNotSerial = cp1251(": это не последовательный порт.");
constexpr auto kSettingsRefused = cp1251(": драйвер не принял настройки ");
constexpr auto kNotOpened = cp1251(" не открылся");
constexpr auto kConnectRefused = cp1251(
    ": подключение отклонено, на этом порту никто не ждёт подключений. Проверьте номер порта и "
    "что TCP-сервер преобразователя включён.");
constexpr auto kUnreachable = cp1251(
    ": сеть или узел недоступны, к адресу нет маршрута. Проверьте адрес, кабель, подсеть и шлюз.");
constexpr auto kNoAnswerWithin = cp1251(": нет ответа за ");
constexpr auto kNoAnswerCheck =
    cp1251(" мс. Узел выключен, или межсетевой экран не пропускает подключение.");
constexpr auto kAddress = cp1251("\r\nАдрес ");
constexpr auto kNotFound = cp1251(" не найден. Проверьте написание имени и настройки DNS.");
constexpr auto kNotConnected = cp1251(": не удалось подключиться");
constexpr auto kAlsoOpenedBy = cp1251("\r\nВнимание: порт ");
constexpr auto kOpenedByOthers = cp1251(" открыт также другими программами: ");
constexpr auto kTheyTakeData = cp1251(". Они могут забирать данные весов.");
constexpr auto kNoTarget = cp1251("(нет такого устройства)");
constexpr auto kNoPortsListed = cp1251("Последовательные порты не найдены.\r\n");

std::string holderList(const std::vector<DeviceHolder>& holders) {
  std::string list;
  for (const DeviceHolder& holder : holders) {
    if (!list.empty()) list += ", ";
    list += holder.name.empty() ? "?" : shownName(holder.name);
    list += " (pid " + std::to_string(holder.pid) + ")";
  }
  return list;
}

// " Найдены порты: ttyUSB0 (FTDI FT232R), com2 -> /dev/ttyUSB1." with the
// ports that are there, or that there are none.
std::string presentPorts(const std::vector<PortInfo>& ports) {
  std::string list;
  for (const PortInfo& port : ports) {
    if (!port.present) continue;
    list += list.empty() ? kPortsFound.c_str() : ", ";
    list += shownName(port.name);
    if (!port.linkTarget.empty()) list += " -> " + shownName(port.linkTarget);
    if (!port.description.empty()) list += " (" + shownDescription(port.description) + ")";
  }
  return list.empty() ? kNoPortsFound.c_str() : list + ".";
}

std::string whyNotOpened(const SerialOpenFailure& failure) {
  const OsError& error = failure.error;
  switch (error.kind) {
    case FailureKind::kNoDevice:
      if (!failure.tried.linkTarget.empty() && !failure.tried.present) {
        return kLinksTo.c_str() + shownName(failure.tried.linkTarget) + kButNoSuchDevice.c_str() +
               presentPorts(failure.ports);
      }
      return kNoSuchDevice.c_str() + presentPorts(failure.ports);
    case FailureKind::kNoPermission: {
      std::string text = kNoPermission.c_str();
      if (failure.missingGroup.empty()) return text;
      const std::string group = shownName(failure.missingGroup);
      return text + kJoinGroup.c_str() + group + ": sudo usermod -aG " + group + " $USER" +
             kLogInAgain.c_str();
    }
    case FailureKind::kBusy:
      return kBusy.c_str() + (failure.holders.empty() ? "" : ": " + holderList(failure.holders)) +
             ".";
    case FailureKind::kNotSerial:
      return kNotSerial.c_str();
    case FailureKind::kSettingsRefused: {
      const std::string text = osText(error);
      return kSettingsRefused.c_str() + lineSettingsText(failure.settings) +
             (text.empty() ? "" : " (" + text + ")") + ".";
    }
    default:
      return kNotOpened.c_str() + osDetail(error) + ".";
  }
}

}  // namespace

std::string serialOpenFailureText(const SerialOpenFailure& failure) {
  return kPort.c_str() + shownArgument(failure.tried.device) + whyNotOpened(failure);
}

std::string tcpConnectFailureText(const LinkSettings& settings, const OsError& error,
                                  std::uint32_t windowMs) {
  const std::string peerLine = "\r\n" + shownName(TcpTransport::peerName(settings));
  switch (error.kind) {
    case FailureKind::kRefused:
      return peerLine + kConnectRefused.c_str();
    case FailureKind::kUnreachable:
      return peerLine + kUnreachable.c_str();
    case FailureKind::kTimedOut:
      return peerLine + kNoAnswerWithin.c_str() + std::to_string(windowMs) + kNoAnswerCheck.c_str();
    case FailureKind::kNameNotFound:
      return kAddress.c_str() +
             shownName(settings.hostName.empty() ? settings.host : settings.hostName) +
             kNotFound.c_str();
    default:
      return peerLine + kNotConnected.c_str() + osDetail(error) + ".";
  }
}

std::string otherHoldersWarning(const std::string& device,
                                const std::vector<DeviceHolder>& holders) {
  if (holders.empty()) return "";
  return kAlsoOpenedBy.c_str() + shownName(device) + kOpenedByOthers.c_str() + holderList(holders) +
         kTheyTakeData.c_str();
}

std::string portListText(const std::vector<PortInfo>& ports) {
  if (ports.empty()) return kNoPortsListed.c_str();
  std::string text;
  for (const PortInfo& port : ports) {
    std::string line = "  " + shownName(port.name);
    if (port.device != port.name) line += "  " + shownName(port.device);
    if (!port.linkTarget.empty()) {
      line += " -> " + shownName(port.linkTarget);
      if (!port.present) line += std::string(" ") + kNoTarget.c_str();
    }
    if (!port.byId.empty()) line += "  " + shownName(port.byId);
    if (!port.description.empty()) line += "  " + shownDescription(port.description);
    text += line + "\r\n";
  }
  return text;
}

}  // namespace scalecheck::console
