#include "TimeCodeStandard.h"

namespace vyotcode {

Standard standardFromCode(uint8_t code) {
  return code <= 3 ? static_cast<Standard>(code) : Standard::Ebu;
}

int32_t framesPerSecond(Standard standard) {
  switch (standard) {
    case Standard::SmpteNonDrop:
    case Standard::SmpteDropFrame:
      return 30;
    case Standard::Film24:
      return 24;
    case Standard::Ebu:
      break;
  }
  return 25;
}

int32_t dayLength(Standard standard) {
  // Drop-frame skips two labels in 9 of every 10 minutes: 144 ten-minute blocks of 17982.
  if (standard == Standard::SmpteDropFrame) return 2589408;
  return framesPerSecond(standard) * 60 * 60 * 24;
}

int32_t reduceToDay(int64_t frames, Standard standard) {
  const int64_t day = dayLength(standard);
  const int64_t rest = frames % day;
  return static_cast<int32_t>(rest < 0 ? rest + day : rest);
}

}  // namespace vyotcode
