#include "console/system_text.h"

#include "platform/cp1251.h"

namespace scalecheck::console {

std::string shownName(const std::string& name) {
  std::string text = name;
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E) c = '?';
  }
  return text;
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
