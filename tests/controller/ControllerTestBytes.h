// Byte helpers for the controller's tests: messages with their checksum, and the requests the
// poll cycle sends.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "sonyname.h"

// The message with its checksum appended.
inline Bytes Msg(std::initializer_list<uint8_t> body) {
  Bytes out(body);
  uint8_t sum = 0;
  for (uint8_t b : out) sum = static_cast<uint8_t>(sum + b);
  out.push_back(sum);
  return out;
}

inline const Bytes kTimeSense = Msg({0x61, 0x0C, 0x01});
inline const Bytes kStatusSense = Msg({0x61, 0x20, 0x0F});
inline const Bytes kPresetSense = Msg({0x61, 0x30, 0x0D});
inline const Bytes kDeviceTypeRequest = Msg({0x00, 0x11});
inline const Bytes kAck = Msg({0x10, 0x01});
