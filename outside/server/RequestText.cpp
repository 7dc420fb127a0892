#include "RequestText.h"

#include <cstdio>
#include <cstring>

namespace vyoserver {
namespace {

std::string hexByte(uint8_t value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

bool showsAsItself(unsigned char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; }

}  // namespace

std::string decimalAndHex(uint8_t value) {
  return std::to_string(value) + " (0x" + hexByte(value) + ")";
}

std::string hexBytes(const uint8_t *bytes, std::size_t count) {
  if (bytes == nullptr) return "(null)";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += hexByte(bytes[i]);
  }
  return text;
}

std::string quotedText(const char *text) {
  if (text == nullptr) return "(null)";
  // One byte beyond the limit tells whether the text was cut.
  const std::size_t length = strnlen(text, kMaxQuoted + 1);
  std::string quoted = "\"";
  for (std::size_t i = 0; i < length && i < kMaxQuoted; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    quoted += showsAsItself(c) ? std::string(1, static_cast<char>(c)) : "\\x" + hexByte(c);
  }
  quoted += '"';
  if (length > kMaxQuoted) quoted += "...";
  return quoted;
}

}  // namespace vyoserver
