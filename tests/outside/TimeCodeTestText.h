// Length-prefixed texts for the time-code tests.
#ifndef OUTSIDE_TIMECODE_TEST_TEXT_H
#define OUTSIDE_TIMECODE_TEST_TEXT_H

#include <cstdint>
#include <string>
#include <vector>

// A heap buffer of exactly 1 + text.size() bytes, so a read past the length byte is caught by
// AddressSanitizer.
inline std::vector<uint8_t> lengthPrefixed(const std::string &text) {
  std::vector<uint8_t> bytes(1 + text.size());
  bytes[0] = static_cast<uint8_t>(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) bytes[1 + i] = static_cast<uint8_t>(text[i]);
  return bytes;
}

// The characters of a length-prefixed output buffer.
inline std::string textOf(const uint8_t *out) {
  return std::string(reinterpret_cast<const char *>(out + 1), out[0]);
}

#endif
