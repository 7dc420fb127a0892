// Byte helpers for the controller's tests: messages with their checksum, and the requests the
// poll cycle sends.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "SonyBytes.h"
#include "sonyname.h"

inline const Bytes kTimeSense = Framed({0x61, 0x0C, 0x01});
inline const Bytes kStatusSense = Framed({0x61, 0x20, 0x0F});
inline const Bytes kPresetSense = Framed({0x61, 0x30, 0x0D});
inline const Bytes kDeviceTypeRequest = Framed({0x00, 0x11});
inline const Bytes kAck = Framed({0x10, 0x01});
