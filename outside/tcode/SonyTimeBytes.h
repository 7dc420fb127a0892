// The four BCD time bytes of a Sony 9-pin message: frames, seconds, minutes, hours.
#ifndef VYO_SONY_TIME_BYTES_H
#define VYO_SONY_TIME_BYTES_H

#include <cstdint>
#include <optional>

#include "TimeCodeLabel.h"

namespace vyotcode {

// Decodes bytes[0..3]. Flag bits are masked off first (frames 3F, seconds 7F, minutes 7F,
// hours 3F), which drops the drop-frame bit 6 of the frames byte and bit 7 of the hours byte.
// A nibble above 9 gives nothing. Field ranges are not checked here.
std::optional<TimeCodeLabel> decodeSonyTimeBytes(const uint8_t *bytes);

// Encodes a label into bytes[0..3]; dropFrameFlag sets bit 6 of the frames byte.
void encodeSonyTimeBytes(uint8_t *bytes, const TimeCodeLabel &label, bool dropFrameFlag);

}  // namespace vyotcode

#endif
