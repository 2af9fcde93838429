#include "console/program.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "console/poll_cause_text.h"
#include "console/poll_tally.h"
#include "console/run_events.h"
#include "console/system_text.h"
#include "fakes/fake_console.h"
#include "fakes/fake_port_facts.h"
#include "fakes/fake_services.h"
#include "fakes/scripted_scales.h"
#include "program_texts.h"

namespace scalecheck::console {
namespace {

using testing::FakeConsole;
using testing::FakePortFacts;
using testing::FakeServices;
using testing::kTitle;
using testing::ScriptedScale;
using testing::utf8;

const std::string kFrame = "ST,GS,+  1.234kg\r\n";
const std::string kReading = "  AD, Ст[1,234] кг";

// The program against fake services.
struct ProgramRun {
  FakeServices fake;
  FakeConsole console{fake.clock};
  FakePortFacts ports;
  int status = -1;

  std::string run(const std::vector<std::string>& arguments) {
    status = runProgram(arguments, console, fake.services, ports);
    return console.utf8();
  }
};

TEST(Program, PollsAsAskedAndEndsWithTheSummary) {
  ProgramRun program;
  ScriptedScale().twoStep(program.fake.serial, kFrame);
  EXPECT_EQ(program.run({"--port", "com1", "--count", "3"}),
            kTitle + "\r\n  Опрос: fake:com1, 9600,None,8,1\r\n" + kReading + kReading + kReading +
                "\r\nОпросов: 3, показаний: 3 (AD: 3), ошибок: 0.\r\n");
  EXPECT_EQ(program.status, kExitReadings);
  EXPECT_EQ(program.console.keysRead, 0) << "no key is waited for";
  EXPECT_FALSE(program.fake.serial.isOpen);
}

// The exit status, how the output ends, and what of it went to standard
// error: a failure from its own line on, its line break included.
TEST(Program, ExitStatusSaysHowTheRunWent) {
  const std::string kTcpNotConnected =
      "\r\nНе смог подключиться к весам. 109, Ошибка подключения клиента TCP.";
  const std::string kNoAnswerCheck =
      "Узел выключен, или межсетевой экран не пропускает подключение.\r\n";
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    bool portPresent;
    int status;
    std::string tail;    // how the output ends
    std::size_t errors;  // how much of the tail went to standard error
  };
  const std::string usage =
      "Ошибка в параметрах: у --data неверное значение «6», нужно 7 или 8.\r\nЗапуск: scalecheck "
      "[--port ПОРТ | --tcp АДРЕС:ПОРТ] [параметры]; подробнее: scalecheck --help\r\n";
  const std::string noDevice =
      testing::kPortNotOpened +
      "\r\nПорт fake:/dev/ttyUSB7: такого устройства нет. Найдены порты: ttyUSB0 (FTDI).\r\n";
  const std::string noConnection =
      kTcpNotConnected + "\r\n10.0.0.9:4001: нет ответа за 2048 мс. " + kNoAnswerCheck;
  const std::string longNameNoConnection =
      kTcpNotConnected + "\r\nscale-in-the-far-warehouse.example.com:4001 (10.0.0.9): нет " +
      "ответа за 2048 мс. " + kNoAnswerCheck;
  const std::string nameNotFound =
      kTcpNotConnected +
      "\r\nАдрес nowhere.example не найден. Проверьте написание имени и настройки DNS.\r\n";
  const Case cases[] = {
      {"silent scale",
       {"--port", "com1", "--count", "2"},
       true,
       kExitNoReading,
       testing::kNoData + testing::kNoData +
           "\r\nОпросов: 2, показаний: 0, ошибок: 2 (110: 2 (тишина: 2)), самая длинная серия "
           "ошибок: 2.\r\n",
       0},
      {"no device",
       {"--port", "/dev/ttyUSB7"},
       false,
       kExitNotOpened,
       noDevice,
       noDevice.size() - 2},
      {"no device to scan",
       {"--port", "/dev/ttyUSB7", "--detect"},
       false,
       kExitNotOpened,
       noDevice,
       noDevice.size() - 2},
      {"no connection",
       {"--tcp", "10.0.0.9:4001"},
       true,
       kExitNotOpened,
       noConnection,
       noConnection.size() - 2},
      {"a name of any length, looked up",
       {"--tcp", "scale-in-the-far-warehouse.example.com:4001"},
       true,
       kExitNotOpened,
       longNameNoConnection,
       longNameNoConnection.size() - 2},
      {"a name not found",
       {"--tcp", "nowhere.example:4001"},
       true,
       kExitNotOpened,
       nameNotFound,
       nameNotFound.size() - 2},
      {"usage", {"--port", "com1", "--data", "6"}, true, kExitUsage, usage, usage.size()},
      {"version", {"--version"}, true, 0, "scalecheck 1.1.0\r\n", 0},
      {"list", {"--list"}, true, 0, "  ttyUSB0  /dev/ttyUSB0  FTDI\r\n", 0},
  };
  for (const Case& c : cases) {
    ProgramRun program;
    program.fake.serial.present = c.portPresent;
    platform::PortInfo adapter;
    adapter.name = "ttyUSB0";
    adapter.device = "/dev/ttyUSB0";
    adapter.description = "FTDI";
    program.ports.ports = {adapter};
    program.fake.network.hostAddresses["scale-in-the-far-warehouse.example.com"] = "10.0.0.9";
    program.fake.network.unresolvable.insert("nowhere.example");
    const std::string output = program.run(c.arguments);
    EXPECT_EQ(program.status, c.status) << c.what;
    EXPECT_EQ(output.substr(output.size() - std::min(output.size(), c.tail.size())), c.tail)
        << c.what << ": " << output;
    EXPECT_EQ(utf8(program.console.errors), c.tail.substr(c.tail.size() - c.errors)) << c.what;
  }
}

// What the command line names is checked before anything opens: a port's
// name is looked up and its device opened; a trace that cannot be written
// is refused (status 2, on standard error alone); a missing COM mapping
// folder is said and the run goes on. The refusals of names that lead
// nowhere, of the own terminal and of a data file run end to end.
TEST(Program, TheCommandLineIsCheckedAgainstTheSystemFirst) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string errors;
    std::string opened;  // the port opened, if any
  };
  const Case cases[] = {
      {{"--port", "ttyUSB0", "--count", "1"}, kExitNoReading, "", "/dev/ttyUSB0"},
      {{"--port", "com1", "--trace", "locked.txt"},
       kExitUsage,
       "у --trace неверное значение «locked.txt», в этот файл нельзя дописывать: нет прав на "
       "запись",
       ""},
      {{"--port", "com1", "--count", "1"},
       kExitNoReading,
       "Внимание: папки «/nowhere» из SCALECHECK_PORT_DIR нет",
       "com1"},
  };
  for (const Case& c : cases) {
    ProgramRun program;
    program.ports.named["ttyUSB0"] = "/dev/ttyUSB0";
    program.ports.missingFolder = c.opened == "com1" ? "/nowhere" : "";
    program.fake.files.unwritable.insert("locked.txt");
    const std::string output = program.run(c.arguments);
    EXPECT_EQ(program.status, c.status) << output;
    EXPECT_NE(utf8(program.console.errors).find(c.errors), std::string::npos) << output;
    if (c.status == kExitUsage) {
      EXPECT_EQ(program.console.errors, program.console.output) << "nothing on standard output";
    }
    EXPECT_EQ(program.fake.serialPorts.namesOpened,
              c.opened.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.opened});
  }
}

TEST(Program, AnotherHolderOfThePortIsNamedAndPollingGoesOn) {
  ProgramRun program;
  ScriptedScale().twoStep(program.fake.serial, kFrame);
  program.ports.holdersOf["fake:com1"] = {{4242, "minicom"}};
  program.console.typeLine("1");
  program.console.typeLine("com1");
  program.console.pressKeyAt(1000 + 1008 + 660 + 100, platform::kKeyEscape);
  EXPECT_EQ(program.run({}),
            testing::kBanner + testing::kAskPort +
                "\r\nВнимание: порт fake:com1 открыт также другими программами: minicom (pid "
                "4242). Они могут забирать данные весов.\r\n" +
                kReading + "\r\nОпросов: 1, показаний: 1 (AD: 1), ошибок: 0.\r\n");
  EXPECT_EQ(program.status, 0);
}

// A trace file that cannot be written for a while: said once, its lines
// kept and written in order once it can be; the bytes of a failed poll in
// it.
TEST(Program, TheTraceHoldsEveryByteAlsoOfAFailedPoll) {
  ProgramRun program;
  ScriptedScale().twoStep(program.fake.serial, kFrame, std::string(1, testing::kNak));
  // Writable when the run starts (else it would be refused), then not
  // until poll 2.
  program.fake.clock.onAdvance([&program] {
    if (program.fake.clock.now() < 3000) {
      program.fake.files.unwritable.insert("t.txt");
    } else {
      program.fake.files.unwritable.clear();
    }
  });
  const std::string output = program.run({"--port", "com1", "--count", "2", "--trace", "t.txt"});
  EXPECT_NE(output.find("\r\n  Опрос: fake:com1, 9600,None,8,1\r\n" + testing::kNoData +
                        "\r\nФайл t.txt не записывается: нет прав на запись. Его записи ждут в "
                        "памяти и будут дописаны, когда файл станет доступен.\r\n" +
                        testing::kNoData +
                        "\r\nФайл t.txt снова записывается, ожидавшие записи "
                        "дописаны.\r\n\r\nОпросов: 2,"),
            std::string::npos)
      << output;
  const std::string trace = program.fake.files.contents["t.txt"];
  const std::string pad(69, ' ');  // a line's 24 bytes take 71 characters
  EXPECT_EQ(trace.substr(trace.find("\r\n") + 2),
            "# ms since the start; > sent to the scale, < received from it; hex |text|\r\n"
            "    1008 ms  poll 1\r\n"
            "    1208 ms  > 05" +
                pad +
                "  |.|\r\n"
                "    1338 ms  < 15" +
                pad +
                "  |.|\r\n"
                "    1418 ms  > 05 11" +
                pad.substr(3) +
                "  |..|\r\n"
                "    1771 ms  poll 1: failed, 110, NAK\r\n"
                "    2779 ms  poll 2\r\n"
                "    2979 ms  > 05" +
                pad +
                "  |.|\r\n"
                "    3109 ms  < 15" +
                pad +
                "  |.|\r\n"
                "    3189 ms  > 05 11" +
                pad.substr(3) +
                "  |..|\r\n"
                "    3542 ms  poll 2: failed, 110, NAK\r\n"
                "    3542 ms  end after 2 polls\r\n");
}

// A scale at another rate: its bytes make no frame, each failed poll says
// so in the trace, and the run ends suggesting the search for settings.
TEST(Program, BytesWithoutAFrameSuggestFindingTheSettings) {
  ProgramRun program;
  ScriptedScale().twoStep(program.fake.serial, "\xF8\x80\xFE\x9C", "\xE0\x1C");
  const std::string output = program.run({"--port", "com1", "--count", "2", "--trace", "t"});
  EXPECT_EQ(output.substr(output.find("\r\nОпросов")),
            "\r\nОпросов: 2, показаний: 0, ошибок: 2 (110: 2 (байты без кадра: 2)), самая "
            "длинная серия ошибок: 2.\r\nБайты от весов приходят, но кадров в них нет: похоже, "
            "не та скорость или формат. Подберите настройки: scalecheck --port com1 --detect\r\n");
  EXPECT_NE(
      program.fake.files.contents["t"].find("  poll 2: failed, 110, bytes without a frame\r\n"),
      std::string::npos);
}

// A run told as events, on the virtual clock (14:03:00.000 at 0 ms, the
// run from 1000 ms): a reading, the log refused and taken back, the port
// pulled (found by the next poll; its reopen fails for two polls, said
// once) and plugged in again.
TEST(RunEvents, EachEventIsALineStampedToTheMillisecond) {
  ProgramRun program;
  ScriptedScale().twoStep(program.fake.serial, kFrame);
  program.fake.files.unwritable.insert("#Log.csv");
  program.fake.clock.onAdvance([&fake = program.fake] {
    if (fake.clock.now() >= 3000) fake.files.unwritable.clear();
    fake.serial.removed = fake.clock.now() >= 3000 && fake.clock.now() < 6000;
  });
  const std::string output = program.run({"--port", "com1", "--count", "5", "--events"});
  const std::string gone = utf8(osText(platform::OsError{platform::FailureKind::kGone, 5}));
  const std::string missing = utf8(osText(platform::OsError{platform::FailureKind::kNoDevice, 2}));
  EXPECT_EQ(output.substr(output.find("\r\n  Опрос")),
            "\r\n  Опрос: fake:com1, 9600,None,8,1\r\n"
            "2026-12-08 14:03:01.000 start fake:com1, 9600,None,8,1\r\n"
            "2026-12-08 14:03:02.668 reading AD stable 1.234 kg\r\n"
            "2026-12-08 14:03:02.668 log-unwritable #Log.csv нет прав на запись\r\n"
            "2026-12-08 14:03:03.676 port-lost device-gone " +
                gone +
                "\r\n"
                "2026-12-08 14:03:03.676 failed 110 device-gone " +
                gone +
                "\r\n"
                "2026-12-08 14:03:03.676 log-writable #Log.csv\r\n"
                "2026-12-08 14:03:04.684 reopen-failed 108 " +
                missing +
                "\r\n"
                "2026-12-08 14:03:04.684 failed 108 not-opened " +
                missing +
                "\r\n"
                "2026-12-08 14:03:05.692 failed 108 not-opened " +
                missing +
                "\r\n"
                "2026-12-08 14:03:06.700 reopened after 3024 ms\r\n"
                "2026-12-08 14:03:07.360 reading AD stable 1.234 kg\r\n"
                "2026-12-08 14:03:07.360 end polls 5 readings 2 failures 3\r\n"
                "Опросов: 5, показаний: 2 (AD: 2), ошибок: 3 (108: 2 (порт не открыт: 2), 110: 1 "
                "(устройство пропало: 1)), самая длинная серия ошибок: 3.\r\n");
  EXPECT_EQ(utf8(program.fake.files.contents["#Log.csv"]), "\"08.12.2026 14:03:02\";\"" + kReading +
                                                               "\";1,234\r\n"
                                                               "\"08.12.2026 14:03:07\";\"" +
                                                               kReading + "\";1,234\r\n")
      << "the records as without --events";
}

// Each way, stability, unit and cause as its word; the weight with a point.
TEST(RunEvents, APollsLineNamesItsOutcomeInWords) {
  const auto reading = [](AcquisitionMode mode, StabilityState stability, double weight,
                          std::uint8_t decimals, WeightUnit unit) {
    PollOutcome outcome;
    outcome.gotReading = true;
    outcome.reading.acquisitionMode = mode;
    outcome.reading.stability = stability;
    outcome.reading.preciseWeight = weight;
    outcome.reading.hasPoint = decimals > 0 ? 1 : 0;
    outcome.reading.decimals = decimals;
    outcome.reading.unit = unit;
    return outcome;
  };
  const auto failure = [](std::int32_t detail, PollCause cause,
                          FrameRejection rejection = FrameRejection::kNone) {
    PollOutcome outcome;
    outcome.errorDetail = detail;
    outcome.report.cause = cause;
    outcome.report.rejection = rejection;
    return outcome;
  };
  PollOutcome refused = failure(109, PollCause::kNotOpened);
  refused.report.osError = platform::OsError{platform::FailureKind::kRefused, 111};
  const std::pair<PollOutcome, std::string> cases[] = {
      {reading(AcquisitionMode::kStream, StabilityState::kUnstable, -12.5, 1, WeightUnit::kGram),
       "reading ~22 unstable -12.5 g"},
      {reading(AcquisitionMode::kCombined, StabilityState::kStable, 3, 0, WeightUnit::kTonne),
       "reading ad stable 3 t"},
      {failure(110, PollCause::kSilence), "failed 110 silence"},
      {failure(110, PollCause::kNak), "failed 110 nak"},
      {failure(110, PollCause::kAckWithoutFrame), "failed 110 ack-without-frame"},
      {failure(111, PollCause::kBytesWithoutFrame), "failed 111 bytes-without-frame"},
      {failure(110, PollCause::kFrameRejected, FrameRejection::kNoStability),
       "failed 110 frame-no-stability"},
      {failure(110, PollCause::kFrameRejected, FrameRejection::kNoNumber),
       "failed 110 frame-no-number"},
      {failure(110, PollCause::kFrameRejected, FrameRejection::kNumberNotEnded),
       "failed 110 frame-number-not-ended"},
      {failure(110, PollCause::kFrameRejected, FrameRejection::kNoUnit),
       "failed 110 frame-no-unit"},
      {failure(110, PollCause::kFrameRejected, FrameRejection::kTooShort),
       "failed 110 frame-too-short"},
      {failure(110, PollCause::kDeviceGone), "failed 110 device-gone"},
      {failure(110, PollCause::kPeerClosed), "failed 110 peer-closed"},
      {refused, "failed 109 not-opened " + osText(refused.report.osError)},
  };
  for (const auto& [outcome, line] : cases) EXPECT_EQ(pollEvent(outcome), line);
}

// The scan keeps the port open from the first setting to the last and
// ends with the settings found, the reading and the command that polls
// with them. The fake line reads at any setting and reports no line error:
// every framing reads alike and the first is named. Over TCP only the way
// varies.
TEST(Detect, NamesTheSettingsTheReadingAndTheCommand) {
  const std::string serialVerdict =
      "\r\nНайдено: 9600,None,8,1, способ AD (запрос в два шага: ENQ, ACK, DC1).\r\nПоказание: "
      "AD, Ст[1,234] кг\r\nТак же читают: 9600,Even,7,1, 9600,Odd,7,1, 9600,Even,8,1, "
      "9600,Odd,8,1, 9600,None,8,2, 9600,None,7,2.\r\nОб ошибках чётности и кадра драйвер не "
      "сообщает: выбраны первые по порядку.\r\nОпрос с этими настройками: scalecheck --port com1 "
      "--baud 9600 --data 8 --parity none --stop 1\r\n";
  const std::string tcpVerdict =
      "\r\nНайдено: TCP, способ ad (совмещённый запрос: ENQ и DC1 вместе).\r\nПоказание: ad, "
      "Ст[1,234] кг\r\nОпрос с этими настройками: scalecheck --tcp 10.0.0.5:4001\r\n";
  const struct {
    std::vector<std::string> arguments;
    std::string firstLine;
    std::string verdict;
  } cases[] = {
      {{"--port", "com1", "--detect"},
       "\r\n  Подбор настроек: fake:com1. Esc или Ctrl+C - прервать.\r\n  9600,None,8,1    "
       "поток, AD, ad: байт 19, кадров 1, ACK - показание AD",
       serialVerdict},
      {{"--tcp", "10.0.0.5:4001", "--detect"},
       "\r\n  Подбор настроек: 10.0.0.5:4001. Esc или Ctrl+C - прервать.\r\n  TCP              "
       "поток, AD, ad: байт 18, кадров 1 - показание ad",
       tcpVerdict},
  };
  for (const auto& row : cases) {
    ProgramRun program;
    ScriptedScale().twoStep(program.fake.serial, kFrame);
    program.fake.network.servers["10.0.0.5:4001"] = testing::FakeServer{};
    testing::FakeNetwork& network = program.fake.network;
    network.onConnect = [&network](testing::FakeSocketState& peer) {
      peer.onSend = [&network, &peer](const std::string& sent) {
        if (sent == std::string{testing::kEnq, testing::kDc1}) {
          peer.arriveAt(network.clock().now() + 20, kFrame, 1);
        }
      };
    };
    const std::string output = program.run(row.arguments);
    EXPECT_EQ(program.status, kExitReadings);
    EXPECT_EQ(output.substr(0, kTitle.size() + row.firstLine.size()), kTitle + row.firstLine);
    EXPECT_EQ(output.substr(output.rfind("\r\nНайдено")), row.verdict) << output;
    EXPECT_EQ(program.fake.serialPorts.namesOpened.size(), row.verdict == serialVerdict ? 1U : 0U);
    EXPECT_EQ(network.sockets.size(), row.verdict == tcpVerdict ? 1U : 0U);
  }
}

// Nothing on the port: every setting tried within a minute, then where to look.
TEST(Detect, ASilentPortSaysWhereToLook) {
  ProgramRun program;
  const std::string output = program.run({"--port", "com1", "--detect"});
  EXPECT_EQ(program.status, kExitNoReading);
  EXPECT_EQ(output.substr(output.rfind("\r\nВесы")),
            "\r\nВесы не найдены: на всех проверенных настройках (56) - тишина. Проверьте кабель "
            "(его разводку: прямой или нуль-модемный), порт и питание весов.\r\n");
  EXPECT_LT(program.fake.clock.now() - 1000, 60000U);
}

// Esc or Ctrl+C ends the scan when the wait under way ends, well within
// half a second, with what was learnt: a reply read counts even before it
// was confirmed.
TEST(Detect, EscAndCtrlCEndTheScanWithinTheWaitUnderWay) {
  const struct {
    std::uint64_t at;  // since the start
    bool escape;       // else Ctrl+C
    bool scale;
    int status;
    std::string ending;
  } cases[] = {
      {100, true, false, kExitNoReading, "проверено настроек: 0.\r\n"},
      {560, false, false, kExitNoReading, "проверено настроек: 0.\r\n"},
      {1900, true, false, kExitNoReading, "проверено настроек: 2.\r\nПока на всех"},
      {23456, false, false, kExitNoReading, "проверено настроек: 28."},
      {46500, true, false, kExitNoReading, "проверено настроек: 55."},
      {2500, true, true, kExitReadings,
       "проверено настроек: 5.\r\nНайдено: 9600,None,8,1, способ AD"},
  };
  for (const auto& row : cases) {
    ProgramRun program;
    if (row.scale) ScriptedScale().twoStep(program.fake.serial, kFrame);
    const std::uint64_t pressed = 1000 + row.at;
    if (row.escape) {
      program.console.pressKeyAt(pressed, platform::kKeyEscape);
    } else {
      program.console.interruptAt(pressed);
    }
    const std::string output = program.run({"--port", "com1", "--detect"});
    EXPECT_EQ(program.status, row.status) << row.at;
    EXPECT_NE(output.find("\r\nПодбор прерван, " + row.ending), std::string::npos) << output;
    EXPECT_LE(program.fake.clock.now() - pressed, 352U) << row.at;
  }
}

TEST(DetectSuggestion, NamesThePortAsTheOperatorDoes) {
  LinkSettings device = testing::serialLinkSettings(3);
  device.devicePath = "/dev/ttyUSB0";
  const std::pair<LinkSettings, std::string> cases[] = {
      {testing::serialLinkSettings(3), "--port com3"},
      {device, "--port /dev/ttyUSB0"},
      {testing::tcpLinkSettings("10.0.0.5", 4001), "--tcp 10.0.0.5:4001"},
  };
  for (const auto& [settings, port] : cases) {
    const std::string line = utf8(detectSuggestion(settings));
    EXPECT_EQ(line.substr(line.find("scalecheck ")), "scalecheck " + port + " --detect");
  }
}

TEST(PollTally, TheSummaryNamesOnlyWhatOccurred) {
  PollTally tally;
  EXPECT_EQ(utf8(tally.summary()), "\r\nОпросов: 0, показаний: 0, ошибок: 0.");
  tally.noteReading(AcquisitionMode::kTwoStep);
  for (const std::int32_t detail : {110, 110, 111}) tally.noteFailure(detail);
  tally.noteReading(AcquisitionMode::kStream);
  tally.noteFailure(108);
  tally.noteReading(AcquisitionMode::kTwoStep);
  EXPECT_EQ(utf8(tally.summary()),
            "\r\nОпросов: 7, показаний: 3 (~22: 1, AD: 2), ошибок: 4 (108: 1, 110: 2, 111: 1), "
            "самая длинная серия ошибок: 3.");
  EXPECT_FALSE(tally.bytesWithoutFrame());
}

// Inside each code, its causes, the most frequent first.
TEST(PollTally, TheSummaryNamesTheCausesOfEachCode) {
  PollTally tally;
  const auto fail = [&tally](std::int32_t detail, PollCause cause,
                             FrameRejection rejection = FrameRejection::kNone) {
    PollReport report;
    report.cause = cause;
    report.rejection = rejection;
    tally.noteFailure(detail, report);
  };
  fail(110, PollCause::kSilence);
  fail(110, PollCause::kFrameRejected, FrameRejection::kNoUnit);
  for (int poll = 0; poll < 3; ++poll) fail(110, PollCause::kBytesWithoutFrame);
  fail(108, PollCause::kNotOpened);
  fail(110, PollCause::kFrameRejected, FrameRejection::kTooShort);
  EXPECT_EQ(utf8(tally.summary()),
            "\r\nОпросов: 7, показаний: 0, ошибок: 7 (108: 1 (порт не открыт: 1), 110: 6 (байты "
            "без кадра: 3, тишина: 1, кадр без единицы: 1, короткий кадр: 1)), самая длинная "
            "серия ошибок: 7.");
  EXPECT_TRUE(tally.bytesWithoutFrame());
}

}  // namespace
}  // namespace scalecheck::console
