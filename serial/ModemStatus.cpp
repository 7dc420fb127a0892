#include "ModemStatus.h"

namespace {
constexpr uint8_t kLines = kModemCTS | kModemDSR | kModemRI | kModemDCD;
constexpr int kFirstLineBit = 4;  // kModemCTS
}  // namespace

void ModemStatus::Reset(const LineSample& sample) { reading_.value = sample.lines & kLines; }

void ModemStatus::Update(const LineSample& sample) {
  uint8_t& value = reading_.value;
  const uint8_t now = sample.lines & kLines;
  const uint8_t changed = static_cast<uint8_t>(((value ^ now) | sample.toggled) & kLines);
  uint8_t deltas = value & static_cast<uint8_t>(~kLines);
  if (changed & kModemCTS) deltas |= kModemDeltaCTS;
  if (changed & kModemDSR) deltas |= kModemDeltaDSR;
  if (changed & kModemDCD) deltas |= kModemDeltaDCD;
  // Trailing edge: RI was on and is off now, or rang and stopped between two readings.
  if ((changed & kModemRI) && !(now & kModemRI)) deltas |= kModemTrailingRI;
  for (int line = 0; line < 4; ++line) {
    if (changed & (1 << (kFirstLineBit + line))) ++reading_.changes[line];
  }
  value = static_cast<uint8_t>(now | deltas);
}

bool ModemStatus::Take(uint8_t bit, uint8_t changeBit) {
  const bool set = (reading_.value & bit) != 0;
  reading_.value &= static_cast<uint8_t>(~changeBit);
  return set;
}

uint8_t ModemStatus::Value() const { return reading_.value; }

ModemReading ModemStatus::Reading() const { return reading_; }
