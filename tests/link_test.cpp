#include "link/scale_link.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fakes/fake_services.h"
#include "platform/cp1251.h"

namespace scalecheck {
namespace {

using testing::FakeServices;

TEST(LinkErrors, EveryCodeHasItsDetailAndMessage) {
  struct Case {
    LinkError code;
    std::int32_t detail;
    std::string message;  // UTF-8
  };
  const Case cases[] = {
      {LinkError::kTooManyInstances, 101,
       "Ограничение по количеству экземпляров класса: не более 256."},
      {LinkError::kChannelSettings, 102, "Ошибка настроек канала связи."},
      {LinkError::kTcpAddressMissing, 103,
       "Укажите ip адрес и порт для подключения tcp клиента к весам.."},
      {LinkError::kWinsockStartup, 104, "Ошибка инициализации библиотеки Winsock."},
      {LinkError::kNetworkAddress, 105, "Ошибка указания сетевого адреса, порта."},
      {LinkError::kSocketCreate, 106, "Ошибка создания сокета."},
      {LinkError::kNoSerialPorts, 107, "В системе нет ни одного последовательного порта RS-232."},
      {LinkError::kSerialOpen, 108, "Ошибка открытия порта RS-232."},
      {LinkError::kTcpConnect, 109, "Ошибка подключения клиента TCP."},
      {LinkError::kNoData, 110, "Нет данных от весов."},
      {LinkError::kUnknownStream, 111,
       "Неизвестный поток данных... Проверьте согласованность параметров обмена."},
      {LinkError::kPurgeMemory, 112, "Ошибка выделения памяти для очистки буфера приемника."},
      {LinkError::kUnknownData, 114, "Обнаружены неизвестные данные."},
      {LinkError::kTareUnsupported, 115, "Установка тары не поддерживается."},
      {LinkError::kWeightUnstable, 116, "Текущий вес нестабилен."},
      {LinkError::kWeighingBlocked, 117, "Блокировка взвешивания."},
      // Codes outside the table: no text, no detail, but the code itself.
      {LinkError::kNone, 0, ""},
      {static_cast<LinkError>(13), 0, ""},
      {static_cast<LinkError>(-5), 0, ""},
  };
  FakeServices fake;
  ScaleLink link(LinkSettings{}, fake.services);
  for (const Case& c : cases) {
    link.setLastError(c.code);
    char text[kErrorTextSize];
    std::memset(text, 'x', sizeof text);
    std::int32_t detail = -1;
    EXPECT_EQ(link.errorText(text, &detail), c.code);
    EXPECT_EQ(detail, c.detail);
    EXPECT_EQ(platform::cp1251ToUtf8(text, std::strlen(text)), c.message);
    EXPECT_EQ(link.errorText(nullptr, nullptr), c.code) << "either output may be absent";
    EXPECT_EQ(link.lastError(), c.code) << "the code stays pending";
  }
}

TEST(ScaleLinkConstruction, CopiesTheSettingsAndProbesTheDecimalComma) {
  FakeServices fake;
  LinkSettings settings;
  settings.mode = LinkMode::kTcp;
  settings.tcpPort = 4001;
  std::memset(settings.host, 'h', sizeof settings.host);  // not terminated by the caller
  ScaleLink link(settings, fake.services);
  EXPECT_EQ(link.settings().mode, LinkMode::kTcp);
  EXPECT_EQ(link.settings().tcpPort, 4001);
  EXPECT_EQ(std::strlen(link.settings().host), kHostSize - 1);
  EXPECT_EQ(link.decimalSeparator(), ',');
  EXPECT_EQ(link.lastError(), LinkError::kNone);
  EXPECT_EQ(link.lastReading().valid, 0);
  EXPECT_FALSE(link.transport().isOpen());
}

TEST(ScaleLinkConstruction, DefaultSettingsAreNineThousandSixHundredEightNoneOne) {
  const LinkSettings settings;
  EXPECT_EQ(settings.mode, LinkMode::kNone);
  EXPECT_EQ(settings.baudRate, 9600);
  EXPECT_EQ(settings.parity, parity::kNone);
  EXPECT_EQ(settings.dataBits, 8);
  EXPECT_EQ(settings.stopBits, stop_bits::kOne);
  EXPECT_STREQ(settings.host, "");
}

TEST(ScaleLinkModes, AnUnknownModeOpensNothingAndRecordsNothing) {
  for (auto mode : {LinkMode::kNone, static_cast<LinkMode>(7)}) {
    FakeServices fake;
    LinkSettings settings;
    settings.mode = mode;
    settings.comNumber = 1;
    ScaleLink link(settings, fake.services);
    EXPECT_FALSE(link.open());
    EXPECT_EQ(link.lastError(), LinkError::kNone);
    const std::uint8_t enq = 0x05;
    EXPECT_FALSE(link.writeBytes(&enq, 1));
    std::uint8_t buffer[21];
    std::int32_t count = 0;
    EXPECT_FALSE(link.readReply(buffer, count));
    link.close();
    EXPECT_TRUE(fake.serial.calls().empty());
    EXPECT_EQ(fake.network.startups, 0);
  }
}

TEST(ScaleLinkModes, CloseAfterAFailedOpenDoesNoHarm) {
  FakeServices fake;
  fake.serial.present = false;
  ScaleLink link(testing::serialLinkSettings(4), fake.services);
  EXPECT_FALSE(link.open());
  link.close();
  link.close();
  EXPECT_FALSE(fake.serial.called(testing::SerialCall::kClose));
}

}  // namespace
}  // namespace scalecheck
