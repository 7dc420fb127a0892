// Helpers for tests that speak Sony 9-pin: build framed messages from their bytes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

// The message with its checksum appended: WithChecksum({0x20, 0x01}) is 20 01 21.
inline std::vector<uint8_t> WithChecksum(std::vector<uint8_t> bytes) {
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  bytes.push_back(sum);
  return bytes;
}

inline std::vector<uint8_t> Framed(std::initializer_list<uint8_t> body) {
  return WithChecksum(std::vector<uint8_t>(body));
}

inline std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
