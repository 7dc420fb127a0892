// Pieces of the readable request lines: numbers in decimal and hex, byte lists, quoted texts.
#ifndef VYO_SERVER_REQUEST_TEXT_H
#define VYO_SERVER_REQUEST_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace vyoserver {

// "32 (0x20)"
std::string decimalAndHex(uint8_t value);

// "01 A0 FF" for count bytes, "(null)" for a null pointer, "" for none.
std::string hexBytes(const uint8_t *bytes, std::size_t count);

// A zero-terminated text in double quotes, cut after kMaxQuoted characters (then "..." follows;
// no more than kMaxQuoted + 1 bytes are read). Bytes outside printable ASCII, '"' and '\\' are
// shown as \xNN. "(null)" for a null pointer.
inline constexpr std::size_t kMaxQuoted = 64;
std::string quotedText(const char *text);

}  // namespace vyoserver

#endif
