// A time-code label (hours, minutes, seconds, frames) and its frame count within one day.
#ifndef VYO_TIMECODE_LABEL_H
#define VYO_TIMECODE_LABEL_H

#include <cstdint>
#include <optional>

#include "TimeCodeStandard.h"

namespace vyotcode {

struct TimeCodeLabel {
  int32_t hours = 0;
  int32_t minutes = 0;
  int32_t seconds = 0;
  int32_t frames = 0;
};

// Label of a frame count; the count is first reduced into the day, so every field is in range.
TimeCodeLabel labelOfFrames(int64_t frames, Standard standard);

// Frame count of a label, or nothing when a field is out of range (hours 0..23, minutes and
// seconds 0..59, frames below the frame rate). A drop-frame label that is skipped (frames 00 or
// 01 at second 00 of a minute not divisible by ten) counts as MM:00:02, the next one that exists.
std::optional<int32_t> framesOfLabel(const TimeCodeLabel &label, Standard standard);

}  // namespace vyotcode

#endif
