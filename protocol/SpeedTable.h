// Speeds of the jog, variable and shuttle commands, by their speed byte.
#pragma once

#include <cstdint>

constexpr int kSpeedTableSize = 129;  // speed bytes 0x00..0x80

// Speed in thousandths of a frame per tick for speed byte n: 1000 x 10^(n/32 - 2), rising with n
// (0x40 is play speed). Bytes above 0x80 take the last entry.
int32_t SpeedOf(uint8_t speedByte);
