#include "console/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/line_settings.h"
#include "platform/cp1251.h"

namespace scalecheck::console {
namespace {

using Arguments = std::vector<std::string>;

// The run a command line asks for, in a few words.
std::string described(const CommandLine& line) {
  const LinkSettings& link = line.settings;
  std::string text;
  if (link.mode == LinkMode::kTcp) {
    text = "tcp " + link.hostName + ":" + std::to_string(link.tcpPort);
  } else {
    text = (link.devicePath.empty() ? "com" + std::to_string(link.comNumber) : link.devicePath) +
           " " + lineSettingsText(link);
  }
  if (line.pollLimit != 0) text += " count " + std::to_string(line.pollLimit);
  if (!line.tracePath.empty()) text += " trace " + line.tracePath;
  if (line.action == ProgramAction::kDetect) text += " detect";
  return text;
}

TEST(CommandLine, ActionsWithoutARun) {
  const std::pair<Arguments, ProgramAction> cases[] = {
      {{}, ProgramAction::kDialog},
      {{"--help"}, ProgramAction::kHelp},
      {{"-h"}, ProgramAction::kHelp},
      {{"--port", "com1", "--bogus", "-h"}, ProgramAction::kHelp},
      {{"--version"}, ProgramAction::kVersion},
      {{"--list"}, ProgramAction::kListPorts},
  };
  for (const auto& [arguments, action] : cases) {
    EXPECT_EQ(parseCommandLine(arguments).action, action) << ::testing::PrintToString(arguments);
  }
}

TEST(CommandLine, RunsTakeTheirLinkFromTheOptions) {
  const std::pair<Arguments, const char*> cases[] = {
      {{"--port", "com3"}, "com3 9600,None,8,1"},
      {{"--port", "COM12", "--settings", "2"}, "com12 9600,Even,7,1"},
      {{"--port", "256"}, "com256 9600,None,8,1"},
      {{"--port", "ttyUSB0"}, "ttyUSB0 9600,None,8,1"},  // a name --list shows, looked up later
      {{"--port", "/dev/ttyUSB0", "--baud", "19200", "--data", "7", "--parity", "odd", "--stop",
        "2", "--count", "5", "--trace", "t.txt"},
       "/dev/ttyUSB0 19200,Odd,7,2 count 5 trace t.txt"},
      {{"--settings=2", "--parity=NONE", "--port=/dev/serial/by-id/usb-FTDI-if00"},
       "/dev/serial/by-id/usb-FTDI-if00 9600,None,7,1"},
      {{"--port", "\\\\.\\COM12", "--baud", "123456"}, "\\\\.\\COM12 123456,None,8,1"},
      {{"--port", "com1", "--count", "1", "--count", "4294967295"},
       "com1 9600,None,8,1 count 4294967295"},
      {{"--tcp", "10.0.0.5:4001", "--count", "3"}, "tcp 10.0.0.5:4001 count 3"},
      {{"--tcp", "255.255.255.255:65535"}, "tcp 255.255.255.255:65535"},
      {{"--tcp", "scale-in-the-far-warehouse.example.com:4001"},
       "tcp scale-in-the-far-warehouse.example.com:4001"},
      {{"--detect", "--port", "com3"}, "com3 9600,None,8,1 detect"},
      {{"--tcp", "10.0.0.5:4001", "--detect"}, "tcp 10.0.0.5:4001 detect"},
  };
  for (const auto& [arguments, run] : cases) {
    const CommandLine line = parseCommandLine(arguments);
    EXPECT_NE(line.action, ProgramAction::kUsageError)
        << platform::cp1251ToUtf8(line.error.data(), line.error.size());
    EXPECT_EQ(described(line), run);
  }
}

// Each mistake is named in the message.
TEST(CommandLine, MistakesSayWhatIsWrong) {
  const std::pair<Arguments, std::string> cases[] = {
      {{"--bogus"}, "неизвестный параметр «--bogus»"},
      {{"--port", "com1", "extra"}, "неизвестный параметр «extra»"},
      {{"--port"}, "после --port нужно значение"},
      {{"--list=all"}, "--list пишется без значения"},
      {{"--version", "--port", "com1"}, "--version пишется без других параметров"},
      {{"--count", "3"}, "укажите --port ПОРТ или --tcp АДРЕС:ПОРТ"},
      {{"--port", "com1", "--tcp", "1.2.3.4:5"}, "--port и --tcp не сочетаются"},
      {{"--tcp", "1.2.3.4:5", "--baud", "9600"}, "--baud задаётся только вместе с --port"},
      {{"--port", "com257"}, "у --port неверное значение «com257», нужен comN"},
      {{"--port", "com0"}, "«com0»"},
      {{"--port", "COM"}, "«COM»"},
      {{"--port", ""}, "«»"},
      {{"--port", "com1", "--settings", "3"}, "у --settings неверное значение «3»"},
      {{"--port", "com1", "--baud", "-9600"}, "у --baud неверное значение «-9600»"},
      {{"--port", "com1", "--baud", "99999999999"}, "«99999999999»"},
      {{"--port", "com1", "--data", "9"}, "у --data неверное значение «9»"},
      {{"--port", "com1", "--parity", "mark"}, "у --parity неверное значение «mark»"},
      {{"--port", "com1", "--stop", "1.5"}, "у --stop неверное значение «1.5»"},
      {{"--port", "com1", "--count", "0"}, "у --count неверное значение «0»"},
      {{"--port", "com1", "--trace", ""}, "у --trace неверное значение «», нужно имя файла"},
      {{"--tcp", "1.2.3.4"}, "у --tcp неверное значение «1.2.3.4»"},
      {{"--tcp", "1.2.3.4:65536"}, "«1.2.3.4:65536»"},
      {{"--tcp", ":4001"}, "«:4001»"},
      {{"--tcp", std::string(254, 'a') + ":4001"}, "у --tcp неверное значение «aaa"},
      {{"--detect"}, "укажите --port ПОРТ или --tcp АДРЕС:ПОРТ"},
      {{"--port", "com1", "--detect", "--baud", "4800"},
       "--baud не сочетается с --detect: он подбирает настройки сам"},
      {{"--port", "com1", "--detect", "--count", "2"}, "--count не сочетается с --detect"},
      {{"--port", "com1", "--detect=yes"}, "--detect пишется без значения"},
      {{"--port", "com1", "--count", "\x1b[2J\x7F"}, "«?[2J?»"},
      {{"--port", std::string(100, '9')}, "«" + std::string(64, '9') + "...»"},
  };
  for (const auto& [arguments, message] : cases) {
    const CommandLine line = parseCommandLine(arguments);
    EXPECT_EQ(line.action, ProgramAction::kUsageError) << message;
    EXPECT_NE(platform::cp1251ToUtf8(line.error.data(), line.error.size()).find(message),
              std::string::npos)
        << platform::cp1251ToUtf8(line.error.data(), line.error.size());
  }
}

}  // namespace
}  // namespace scalecheck::console
