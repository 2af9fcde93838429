#include "escapes.h"

#include <cstdio>

namespace scalecheck::sim {
namespace {

struct SimpleEscape {
  char letter;
  char byte;
};

constexpr SimpleEscape kSimpleEscapes[] = {
    {'r', '\r'},   {'n', '\n'}, {'t', '\t'}, {'0', '\0'},  {'a', '\a'}, {'b', '\b'},
    {'e', '\x1b'}, {'f', '\f'}, {'v', '\v'}, {'\\', '\\'}, {'"', '"'},  {'\'', '\''},
};

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// \xH or \xHH: at most two digits, so "\x05ST" is ENQ followed by "ST".
bool decodeHex(std::string_view text, std::size_t& pos, std::string& out, std::string& error) {
  int value = 0;
  std::size_t digits = 0;
  while (digits < 2 && pos < text.size() && hexValue(text[pos]) >= 0) {
    value = value * 16 + hexValue(text[pos]);
    ++pos;
    ++digits;
  }
  if (digits == 0) {
    error = "\\x needs one or two hex digits";
    return false;
  }
  out.push_back(static_cast<char>(value));
  return true;
}

}  // namespace

bool decodeEscapeAt(std::string_view text, std::size_t& pos, std::string& out, std::string& error) {
  if (pos + 1 >= text.size()) {
    error = "a backslash at the end";
    return false;
  }
  const char letter = text[pos + 1];
  pos += 2;
  if (letter == 'x') return decodeHex(text, pos, out, error);
  for (const SimpleEscape& escape : kSimpleEscapes) {
    if (escape.letter == letter) {
      out.push_back(escape.byte);
      return true;
    }
  }
  error = std::string("unknown escape \\") + letter;
  return false;
}

bool decodeEscapes(std::string_view text, std::string& out, std::string& error) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == '\\') {
      if (!decodeEscapeAt(text, pos, out, error)) return false;
    } else {
      out.push_back(text[pos]);
      ++pos;
    }
  }
  return true;
}

std::string describeBytes(std::string_view bytes) {
  std::string text;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      text += "\\r";
    } else if (c == '\n') {
      text += "\\n";
    } else if (c == '\\') {
      text += "\\\\";
    } else if (byte >= 0x20 && byte < 0x7F) {
      text.push_back(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
      text += hex;
    }
  }
  return text;
}

}  // namespace scalecheck::sim
