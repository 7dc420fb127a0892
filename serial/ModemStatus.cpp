#include "ModemStatus.h"

namespace {
constexpr uint8_t kLines = kModemCTS | kModemDSR | kModemRI | kModemDCD;
}

void ModemStatus::Reset(const LineSample& sample) {
  std::lock_guard lock(mutex_);
  value_ = sample.lines & kLines;
}

uint8_t ModemStatus::Update(const LineSample& sample) {
  std::lock_guard lock(mutex_);
  const uint8_t before = value_ & kLines;
  const uint8_t now = sample.lines & kLines;
  const uint8_t changed = static_cast<uint8_t>(((before ^ now) | sample.toggled) & kLines);
  uint8_t deltas = value_ & static_cast<uint8_t>(~kLines);
  if (changed & kModemCTS) deltas |= kModemDeltaCTS;
  if (changed & kModemDSR) deltas |= kModemDeltaDSR;
  if (changed & kModemDCD) deltas |= kModemDeltaDCD;
  // Trailing edge: RI was on and is off now, or rang and stopped between two readings.
  if ((changed & kModemRI) && !(now & kModemRI)) deltas |= kModemTrailingRI;
  value_ = static_cast<uint8_t>(now | deltas);
  return changed;
}

bool ModemStatus::Take(uint8_t bit, uint8_t changeBit) {
  std::lock_guard lock(mutex_);
  const bool set = (value_ & bit) != 0;
  value_ &= static_cast<uint8_t>(~changeBit);
  return set;
}

uint8_t ModemStatus::Value() const {
  std::lock_guard lock(mutex_);
  return value_;
}
