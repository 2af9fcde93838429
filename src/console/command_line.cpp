#include "console/command_line.h"

#include <map>

#include "console/file_watch.h"
#include "console/line_settings.h"
#include "console/measurement_log.h"
#include "console/system_text.h"
#include "link/bounded_text.h"
#include "link/scale_link.h"
#include "link/serial_transport.h"
#include "platform/com_number.h"
#include "platform/cp1251.h"
#include "platform/stored_text.h"

namespace scalecheck::console {
namespace {

using platform::cp1251;

constexpr auto kUnknown = cp1251("неизвестный параметр ");
constexpr auto kAfter = cp1251("после ");
constexpr auto kNeedsValue = cp1251(" нужно значение");
constexpr auto kOpenQuote = cp1251("«");
constexpr auto kCloseQuote = cp1251("»");
constexpr auto kTakesNoValue = cp1251(" пишется без значения");
constexpr auto kStandsAlone = cp1251(" пишется без других параметров");
constexpr auto kPortOrTcp = cp1251("укажите --port ПОРТ или --tcp АДРЕС:ПОРТ");
constexpr auto kNotBoth = cp1251("--port и --tcp не сочетаются, нужно одно из них");
constexpr auto kSerialOnly = cp1251(" задаётся только вместе с --port");
constexpr auto kNotWithDetect =
    cp1251(" не сочетается с --detect: он подбирает настройки сам, нужен только --port или --tcp");
constexpr auto kBadValueOf = cp1251("у ");
constexpr auto kBadValue = cp1251(" неверное значение ");
constexpr auto kPortValues = cp1251(
    "нужен comN или N (1..256), имя порта из списка --list либо путь к устройству, например "
    "/dev/ttyUSB0");
constexpr auto kTcpValues =
    cp1251("нужен АДРЕС:ПОРТ, например 10.0.0.5:4001 или scale.example.com:4001 (порт 1..65535)");
constexpr auto kSettingsValues = cp1251("нужен вариант 1 или 2");
constexpr auto kBaudValues = cp1251("нужна скорость в бит/с, например 19200");
constexpr auto kDataValues = cp1251("нужно 7 или 8");
constexpr auto kParityValues = cp1251("нужно none, even или odd");
constexpr auto kStopValues = cp1251("нужно 1 или 2");
constexpr auto kCountValues = cp1251("нужно число опросов от 1");
constexpr auto kTraceValues = cp1251("нужно имя файла");

constexpr auto kNoSuchPort = cp1251(": такого порта нет");
constexpr auto kLookedIn = cp1251(" (искали ");
constexpr auto kLeadsToOwnTerminal =
    cp1251("--port ведёт к терминалу, в котором работает сама программа (");
constexpr auto kNotToTheScale = cp1251("), а не к порту весов");
constexpr auto kDataFile = cp1251(": в этот файл программа пишет свои данные, нужен другой");
constexpr auto kCannotAppend = cp1251(", в этот файл нельзя дописывать");

constexpr auto kUsageLine = cp1251(
    "Запуск: scalecheck [--port ПОРТ | --tcp АДРЕС:ПОРТ] [параметры]; подробнее: scalecheck "
    "--help\n");
constexpr auto kUsage = cp1251(R"(Проверка связи с весами Talvex без печати.

Запуск:
  scalecheck                  вопросы о настройках и порте, затем опрос до Esc
  scalecheck --port ПОРТ [--settings 1|2] [--baud N] [--data 7|8]
             [--parity none|even|odd] [--stop 1|2] [--count N] [--trace ФАЙЛ]
             [--events]
  scalecheck --tcp АДРЕС:ПОРТ [--count N] [--trace ФАЙЛ] [--events]
  scalecheck --port ПОРТ --detect, scalecheck --tcp АДРЕС:ПОРТ --detect
                              подобрать настройки, при которых весы отвечают
  scalecheck --list           последовательные порты системы
  scalecheck --version        версия программы
  scalecheck --help, -h       эта справка

С --port или --tcp вопросов нет: программа сразу опрашивает весы, как после
ответов на вопросы, до Esc, Ctrl+C или N опросов (--count).
  --port ПОРТ        com1, COM1 или 1 (1..256), имя порта из списка --list
                     (ttyUSB0) либо путь к устройству, например /dev/ttyUSB0
                     или /dev/serial/by-id/...
  --settings 1|2     1: 9600,None,8,1 (по умолчанию); 2: 9600,Even,7,1 (RLV)
  --baud N           скорость, бит/с (например 1200 ... 115200)
  --data 7|8         биты данных
  --parity P         чётность: none, even или odd
  --stop 1|2         стоповые биты
  --tcp АДРЕС:ПОРТ   весы за преобразователем RS-232 в Ethernet
  --count N          закончить после N опросов
  --trace ФАЙЛ       дописывать в ФАЙЛ каждый отправленный и принятый байт
  --events           строка со временем до миллисекунды на каждое событие:
                     показание, ошибка с причиной, порт пропал и открыт
                     снова, файл данных не записывается и снова записывается
  --detect           перебрать скорости 1200..115200 и форматы 8N1, 7E1, 7O1,
                     8E1, 8O1, 8N2, 7N2 (по TCP - только способы опроса),
                     не закрывая порт, до первого ответа весов; показать
                     найденное и команду опроса с ним. Esc - прервать
Значение параметра можно дать и через «=»: --baud=19200.

Показания дописываются в #Log.csv, кадры весов - в #DeviceIO, в текущей
папке. На Linux comN - это $SCALECHECK_PORT_DIR/comN, если переменная
задана и такой файл есть, иначе /dev/ttyS<N-1>.

Код завершения с параметрами: 0 - есть хотя бы одно показание (с --detect:
настройки найдены); 1 - связь открыта, но показаний нет; 2 - ошибка в
параметрах; 3 - не удалось подключиться к весам. Без параметров программа
всегда завершается с 0.
)");

// An argument longer than this is shown cut, so that no argument can flood
// the message.
constexpr std::size_t kShownArgumentLength = 64;
constexpr std::uint64_t kHighestCount = 0xFFFFFFFFU;
constexpr std::uint64_t kHighestBaud = 0x7FFFFFFF;
constexpr std::uint64_t kHighestTcpPort = 65535;
constexpr std::size_t kLongestHostName = 253;  // the longest name DNS can carry

enum class Option : std::uint8_t {
  kPort,
  kTcp,
  kSettings,
  kBaud,
  kData,
  kParity,
  kStop,
  kCount,
  kTrace,
  kEvents,
  kVersion,
  kList,
  kDetect,
};

struct KnownOption {
  const char* name;
  Option option;
  bool takesValue;
  bool serialOnly;
};

constexpr KnownOption kOptions[] = {
    {"--port", Option::kPort, true, false},        {"--tcp", Option::kTcp, true, false},
    {"--settings", Option::kSettings, true, true}, {"--baud", Option::kBaud, true, true},
    {"--data", Option::kData, true, true},         {"--parity", Option::kParity, true, true},
    {"--stop", Option::kStop, true, true},         {"--count", Option::kCount, true, false},
    {"--trace", Option::kTrace, true, false},      {"--version", Option::kVersion, false, false},
    {"--list", Option::kList, false, false},       {"--events", Option::kEvents, false, false},
    {"--detect", Option::kDetect, false, false},
};

// What was given: each option, and its last value.
using GivenOptions = std::map<Option, std::pair<const KnownOption*, std::string>>;

std::string quoted(const std::string& argument) {
  std::string text = shownArgument(argument.substr(0, kShownArgumentLength));
  if (argument.size() > kShownArgumentLength) text += "...";
  return kOpenQuote.c_str() + text + kCloseQuote.c_str();
}

// The refusal of `value`, given with `option`, for `why`.
std::string valueRefusal(const char* option, const std::string& value, const std::string& why) {
  return kBadValueOf.c_str() + std::string(option) + kBadValue.c_str() + quoted(value) + why;
}

// A device given by a port's name alone ("ttyUSB0"), to be looked up; not
// a path.
bool isPortName(const std::string& device) {
  return !device.empty() && device.find_first_of("/\\") == std::string::npos;
}

CommandLine usageError(const std::string& error) {
  CommandLine line;
  line.action = ProgramAction::kUsageError;
  line.error = error;
  return line;
}

CommandLine badValue(const KnownOption& known, const std::string& value, const char* expected) {
  return usageError(valueRefusal(known.name, value, std::string(", ") + expected));
}

const KnownOption* findOption(const std::string& name) {
  for (const KnownOption& known : kOptions) {
    if (name == known.name) return &known;
  }
  return nullptr;
}

// Decimal digits only, from `low` to `high`.
bool parseNumber(const std::string& text, std::uint64_t low, std::uint64_t high,
                 std::uint64_t& value) {
  constexpr std::size_t kMostDigits = 10;  // any 32-bit value; more cannot be in range
  if (text.empty() || text.size() > kMostDigits) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value >= low && value <= high;
}

std::string lowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// "comN", "COMN" or "N" as the dialog takes them. Any other name is a
// device: a path ("/dev/ttyUSB0", "\\.\COM12"), or a port's name as --list
// shows it ("ttyUSB0"), which the program looks up before the run. A name
// that can only mean a COM number is refused when the number is out of
// range.
bool parsePort(const std::string& text, LinkSettings& settings) {
  const bool prefixed = text.size() >= 3 && lowerAscii(text.substr(0, 3)) == "com";
  const std::string digits = prefixed ? text.substr(3) : text;
  std::uint64_t number = 0;
  if (parseNumber(digits, 1, platform::kHighestComNumber, number)) {
    settings.comNumber = static_cast<std::int32_t>(number);
    return true;
  }
  if (digits.find_first_not_of("0123456789") == std::string::npos) return false;
  settings.devicePath = text;
  return true;
}

// "HOST:PORT". The host is looked up before the link opens (lookUpHostName),
// so a name may be longer than the link's 15 characters.
bool parseTcp(const std::string& text, LinkSettings& settings) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon > kLongestHostName) return false;
  std::uint64_t port = 0;
  if (!parseNumber(text.substr(colon + 1), 1, kHighestTcpPort, port)) return false;
  settings = LinkSettings{};
  settings.mode = LinkMode::kTcp;
  settings.hostName = text.substr(0, colon);
  // Until it is looked up, a name that fits stands as the link's host; a
  // longer one is never cut to another name.
  if (!copyBounded(settings.host, settings.hostName.c_str())) settings.host[0] = '\0';
  settings.tcpPort = static_cast<std::int32_t>(port);
  return true;
}

bool parseParity(const std::string& text, std::uint8_t& code) {
  const std::string name = lowerAscii(text);
  if (name == "none") code = parity::kNone;
  if (name == "even") code = parity::kEven;
  if (name == "odd") code = parity::kOdd;
  return name == "none" || name == "even" || name == "odd";
}

// Every argument matched with its option; an unknown one, or one without
// its value, is a usage error.
bool collectOptions(const std::vector<std::string>& arguments, GivenOptions& given,
                    CommandLine& error) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const std::size_t equals =
        argument.rfind("--", 0) == 0 ? argument.find('=') : std::string::npos;
    const std::string name = argument.substr(0, equals);
    const KnownOption* known = findOption(name);
    if (known == nullptr) {
      error = usageError(kUnknown.c_str() + quoted(argument));
      return false;
    }
    std::string value;
    if (equals != std::string::npos) {
      if (!known->takesValue) {
        error = usageError(name + kTakesNoValue.c_str());
        return false;
      }
      value = argument.substr(equals + 1);
    } else if (known->takesValue) {
      if (i + 1 == arguments.size()) {
        error = usageError(kAfter.c_str() + name + kNeedsValue.c_str());
        return false;
      }
      value = arguments[++i];
    }
    given[known->option] = {known, value};
  }
  return true;
}

// The text given with `option`, or null when the option was not given.
const std::string* givenValue(const GivenOptions& given, Option option) {
  const auto found = given.find(option);
  return found != given.end() ? &found->second.second : nullptr;
}

// The refusal of the value given with `option`, which is not `expected`.
CommandLine badValueOf(const GivenOptions& given, Option option, const char* expected) {
  const auto& [known, text] = given.at(option);
  return badValue(*known, text, expected);
}

// The line settings and port of --port, or the address of --tcp.
bool linkFrom(const GivenOptions& given, LinkSettings& settings, CommandLine& error) {
  auto value = [&given](Option option) { return givenValue(given, option); };
  auto fail = [&given, &error](Option option, const char* expected) {
    error = badValueOf(given, option, expected);
    return false;
  };
  if (const std::string* tcp = value(Option::kTcp)) {
    return parseTcp(*tcp, settings) || fail(Option::kTcp, kTcpValues.c_str());
  }
  std::uint64_t number = 0;
  const std::string* option = value(Option::kSettings);
  if (option != nullptr && !parseNumber(*option, kFirstLineOption, kLastLineOption, number)) {
    return fail(Option::kSettings, kSettingsValues.c_str());
  }
  settings = serialLineOption(option != nullptr ? static_cast<std::int32_t>(number) : 1);
  if (!parsePort(*value(Option::kPort), settings)) return fail(Option::kPort, kPortValues.c_str());
  if (const std::string* baud = value(Option::kBaud)) {
    if (!parseNumber(*baud, 1, kHighestBaud, number))
      return fail(Option::kBaud, kBaudValues.c_str());
    settings.baudRate = static_cast<std::int32_t>(number);
  }
  if (const std::string* data = value(Option::kData)) {
    if (!parseNumber(*data, 7, 8, number)) return fail(Option::kData, kDataValues.c_str());
    settings.dataBits = static_cast<std::uint8_t>(number);
  }
  if (const std::string* parity = value(Option::kParity)) {
    if (!parseParity(*parity, settings.parity)) return fail(Option::kParity, kParityValues.c_str());
  }
  if (const std::string* stop = value(Option::kStop)) {
    if (!parseNumber(*stop, 1, 2, number)) return fail(Option::kStop, kStopValues.c_str());
    settings.stopBits = number == 1 ? stop_bits::kOne : stop_bits::kTwo;
  }
  return true;
}

CommandLine pollCommand(const GivenOptions& given) {
  const bool port = given.count(Option::kPort) != 0;
  const bool tcp = given.count(Option::kTcp) != 0;
  if (port && tcp) return usageError(kNotBoth.c_str());
  if (!port && !tcp) return usageError(kPortOrTcp.c_str());
  if (tcp) {
    for (const auto& [option, entry] : given) {
      if (entry.first->serialOnly)
        return usageError(entry.first->name + std::string(kSerialOnly.c_str()));
    }
  }
  const bool detect = given.count(Option::kDetect) != 0;
  for (const auto& [option, entry] : given) {
    if (detect && option != Option::kPort && option != Option::kTcp && option != Option::kDetect) {
      return usageError(entry.first->name + std::string(kNotWithDetect.c_str()));
    }
  }
  CommandLine line;
  line.action = detect ? ProgramAction::kDetect : ProgramAction::kPoll;
  if (!linkFrom(given, line.settings, line)) return line;
  std::uint64_t count = 0;
  if (const std::string* text = givenValue(given, Option::kCount)) {
    if (!parseNumber(*text, 1, kHighestCount, count)) {
      return badValueOf(given, Option::kCount, kCountValues.c_str());
    }
    line.pollLimit = static_cast<std::uint32_t>(count);
  }
  if (const std::string* path = givenValue(given, Option::kTrace)) {
    if (path->empty()) return badValueOf(given, Option::kTrace, kTraceValues.c_str());
    line.tracePath = *path;
  }
  line.events = given.count(Option::kEvents) != 0;
  return line;
}

// A port's name becomes the device it leads to; refused, naming the places
// looked at, when it leads nowhere.
std::string portNameRefusal(LinkSettings& settings, PortFacts& ports) {
  if (!isPortName(settings.devicePath)) return "";
  const platform::PortNameLookup lookup = ports.lookUpName(settings.devicePath);
  if (!lookup.device.empty()) {
    settings.devicePath = lookup.device;
    return "";
  }
  std::string why = kNoSuchPort.c_str();
  const char* separator = kLookedIn.c_str();
  for (const std::string& place : lookup.places) {
    why += separator + shownArgument(place);
    separator = ", ";
  }
  if (!lookup.places.empty()) why += ")";
  return valueRefusal("--port", settings.devicePath, why + ", " + kPortValues.c_str());
}

// Requests written to the program's own terminal would land on the
// operator's screen, and its keys would be read as the scale's replies.
std::string ownTerminalRefusal(const LinkSettings& settings, platform::Services& services,
                               PortFacts& ports) {
  const std::string device = SerialTransport(services.serialPorts, services.clock).target(settings);
  if (!ports.isOwnTerminal(device)) return "";
  return kLeadsToOwnTerminal.c_str() + shownArgument(device) + kNotToTheScale.c_str();
}

// A trace in a data file would mix its lines with the records; one that
// cannot be written is better refused now than found empty after the run.
// The file is created here, as the run would create it.
std::string traceRefusal(const std::string& path, platform::Files& files) {
  for (const char* data : {kMeasurementLogPath, kDeviceDumpPath}) {
    if (platform::sameFile(path.c_str(), data))
      return valueRefusal("--trace", path, kDataFile.c_str());
  }
  platform::OsError error;
  if (files.appendText(path.c_str(), "", 0, error)) return "";
  return valueRefusal("--trace", path, kCannotAppend.c_str() + whyNotWritten(error));
}

}  // namespace

CommandLine checkedOnSystem(CommandLine line, platform::Services& services, PortFacts& ports) {
  if (line.action != ProgramAction::kPoll && line.action != ProgramAction::kDetect) return line;
  std::string refusal;
  if (line.settings.mode == LinkMode::kRs232) {
    refusal = portNameRefusal(line.settings, ports);
    if (refusal.empty()) refusal = ownTerminalRefusal(line.settings, services, ports);
  }
  if (refusal.empty() && !line.tracePath.empty()) {
    refusal = traceRefusal(line.tracePath, services.files);
  }
  return refusal.empty() ? line : usageError(refusal);
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  if (arguments.empty()) return line;
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") {
      line.action = ProgramAction::kHelp;
      return line;
    }
  }
  GivenOptions given;
  if (!collectOptions(arguments, given, line)) return line;
  for (const Option alone : {Option::kVersion, Option::kList}) {
    const auto found = given.find(alone);
    if (found == given.end()) continue;
    if (arguments.size() != 1)
      return usageError(found->second.first->name + std::string(kStandsAlone.c_str()));
    line.action = alone == Option::kVersion ? ProgramAction::kVersion : ProgramAction::kListPorts;
    return line;
  }
  return pollCommand(given);
}

std::string usageText() {
  return platform::storedAsText(kUsage.c_str(), kUsage.size);
}

std::string usageLine() {
  return platform::storedAsText(kUsageLine.c_str(), kUsageLine.size);
}

}  // namespace scalecheck::console
