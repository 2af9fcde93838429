#include "console/system_text.h"

#include "platform/argument_text.h"
#include "platform/cp1251.h"

namespace scalecheck::console {

namespace {

// Every byte for which `refused` holds becomes '?'.
template <typename Refused>
std::string withQuestionMarks(std::string text, Refused refused) {
  for (char& c : text) {
    if (refused(static_cast<unsigned char>(c))) c = '?';
  }
  return text;
}

}  // namespace

std::string shownName(const std::string& name) {
  return withQuestionMarks(name, [](unsigned char byte) { return byte < 0x20 || byte > 0x7E; });
}

// Windows-1251 has no control characters above 0x7F, and no character at
// 0x98.
std::string shownArgument(const std::string& argument) {
  return withQuestionMarks(platform::argumentAs1251(argument), [](unsigned char byte) {
    return byte < 0x20 || byte == 0x7F || byte == 0x98;
  });
}

std::string shownDescription(const std::string& description) {
  return withQuestionMarks(description, [](unsigned char byte) {
    const bool cyrillic = byte >= 0xC0 || byte == 0xA8 || byte == 0xB8;  // А..я, Ё, ё
    return (byte < 0x20 || byte > 0x7E) && !cyrillic;
  });
}

std::string osText(const platform::OsError& error) {
  std::string text = platform::osErrorText(error);
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
  return text;
}

std::string osDetail(const platform::OsError& error) {
  static constexpr auto kCode = platform::cp1251(" (код ");
  const std::string text = osText(error);
  std::string detail = text.empty() ? "" : ": " + text;
  if (error.code != 0) detail += kCode.c_str() + std::to_string(error.code) + ")";
  return detail;
}

}  // namespace scalecheck::console
