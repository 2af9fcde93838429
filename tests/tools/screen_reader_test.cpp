#include "screen_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace scalecheck::bench {
namespace {

struct ScreenCase {
  const char* name;
  std::vector<std::string> chunks;  // arriving at 10, 20, 30 ... ms
  std::string expected;             // each line as "tag@ms", space-separated
};

std::string linesOf(const std::vector<std::string>& chunks) {
  ScreenReader reader;
  double atMs = 0;
  for (const std::string& chunk : chunks) reader.add(chunk, atMs += 10);
  std::string text;
  for (const ShownLine& line : reader.lines()) {
    text += (text.empty() ? "" : " ") + std::string(line.reading ? "" : "!") + line.tag + "@" +
            std::to_string(static_cast<int>(line.atMs));
  }
  return text;
}

TEST(ScreenReader, PicksThePollLinesAndWhenEachAppeared) {
  const std::string stable = "Ст[1,234] кг";
  const ScreenCase cases[] = {
      {"each way",
       {"  ~22, " + stable, "  AD, " + stable, "  ad, " + stable},
       "~22@10 AD@20 ad@30"},
      {"a line split between chunks", {"  A", "D, " + stable}, "AD@20"},
      {"a failure, its code and text",
       {"  AD, " + stable + " 110Нет данных от весов."},
       "AD@10 !110@10"},
      {"a failure's code split", {" 11", "0", "Нет данных"}, "!110@30"},
      // Wine's console: cursor hidden and shown around each write, blanks
      // written as a cursor move.
      {"control sequences",
       {"\x1b[?25l\x1b[2C~22, " + stable + "\x1b[?25h", "\x1b]0;t\x07  AD, "},
       "~22@10 AD@20"},
      {"an escape split between chunks", {"\x1b[", "?25l  ad, "}, "ad@20"},
      // Not poll lines: the banner, the port line, the summary's counts.
      {"other text",
       {"  Опрос: /tmp/com1, 9600,None,8,1\r\r\n",
        "Опросов: 100, показаний: 99 (AD: 99), ошибок: 1 (110: 1), самая длинная серия: 1.\r\n"},
       ""},
  };
  for (const ScreenCase& testCase : cases) {
    EXPECT_EQ(linesOf(testCase.chunks), testCase.expected) << testCase.name;
  }
}

TEST(ScreenReader, ShowsTheTextWithoutCarriageReturnsOrControlSequences) {
  ScreenReader reader;
  reader.add("\x1b[?25lОпросов: 3\x1b[?25h\r\r\n\x1b(B\x1b[3Cx", 0);
  EXPECT_EQ(reader.text(), "Опросов: 3\n   x");
}

}  // namespace
}  // namespace scalecheck::bench
