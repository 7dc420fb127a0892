// Frame rates and day lengths of the four standard codes, and the reduction of any frame count
// into one day.
#ifndef VYO_TIMECODE_STANDARD_H
#define VYO_TIMECODE_STANDARD_H

#include <cstdint>

namespace vyotcode {

enum class Standard : uint8_t { Ebu = 0, SmpteNonDrop = 1, Film24 = 2, SmpteDropFrame = 3 };

// Codes outside 0..3 are read as EBU, so every call has one defined answer.
Standard standardFromCode(uint8_t code);

int32_t framesPerSecond(Standard standard);

// Frames from 00:00:00:00 to the next midnight.
int32_t dayLength(Standard standard);

// Reduces any count (including negative ones) to [0, dayLength).
int32_t reduceToDay(int64_t frames, Standard standard);

}  // namespace vyotcode

#endif
