#include "link/link_error.h"

#include "platform/cp1251.h"

namespace scalecheck {
namespace {

using platform::cp1251;

constexpr auto kTooManyInstances =
    cp1251("Ограничение по количеству экземпляров класса: не более 256.");
constexpr auto kChannelSettings = cp1251("Ошибка настроек канала связи.");
constexpr auto kTcpAddressMissing =
    cp1251("Укажите ip адрес и порт для подключения tcp клиента к весам..");
constexpr auto kWinsockStartup = cp1251("Ошибка инициализации библиотеки Winsock.");
constexpr auto kNetworkAddress = cp1251("Ошибка указания сетевого адреса, порта.");
constexpr auto kSocketCreate = cp1251("Ошибка создания сокета.");
constexpr auto kNoSerialPorts = cp1251("В системе нет ни одного последовательного порта RS-232.");
constexpr auto kSerialOpen = cp1251("Ошибка открытия порта RS-232.");
constexpr auto kTcpConnect = cp1251("Ошибка подключения клиента TCP.");
constexpr auto kNoData = cp1251("Нет данных от весов.");
constexpr auto kUnknownStream =
    cp1251("Неизвестный поток данных... Проверьте согласованность параметров обмена.");
constexpr auto kPurgeMemory = cp1251("Ошибка выделения памяти для очистки буфера приемника.");
constexpr auto kUnknownData = cp1251("Обнаружены неизвестные данные.");
constexpr auto kTareUnsupported = cp1251("Установка тары не поддерживается.");
constexpr auto kWeightUnstable = cp1251("Текущий вес нестабилен.");
constexpr auto kWeighingBlocked = cp1251("Блокировка взвешивания.");

}  // namespace

const char* linkErrorMessage(LinkError code) {
  switch (code) {
    case LinkError::kTooManyInstances:
      return kTooManyInstances.c_str();
    case LinkError::kChannelSettings:
      return kChannelSettings.c_str();
    case LinkError::kTcpAddressMissing:
      return kTcpAddressMissing.c_str();
    case LinkError::kWinsockStartup:
      return kWinsockStartup.c_str();
    case LinkError::kNetworkAddress:
      return kNetworkAddress.c_str();
    case LinkError::kSocketCreate:
      return kSocketCreate.c_str();
    case LinkError::kNoSerialPorts:
      return kNoSerialPorts.c_str();
    case LinkError::kSerialOpen:
      return kSerialOpen.c_str();
    case LinkError::kTcpConnect:
      return kTcpConnect.c_str();
    case LinkError::kNoData:
      return kNoData.c_str();
    case LinkError::kUnknownStream:
      return kUnknownStream.c_str();
    case LinkError::kPurgeMemory:
      return kPurgeMemory.c_str();
    case LinkError::kUnknownData:
      return kUnknownData.c_str();
    case LinkError::kTareUnsupported:
      return kTareUnsupported.c_str();
    case LinkError::kWeightUnstable:
      return kWeightUnstable.c_str();
    case LinkError::kWeighingBlocked:
      return kWeighingBlocked.c_str();
    case LinkError::kNone:
      break;
  }
  return nullptr;
}

}  // namespace scalecheck
