#include "SerialTriggers.h"

#include <algorithm>

#include "SerialErrors.h"
#include "SerialPort.h"

namespace {
constexpr int kTypeBits = 3;
constexpr int kMaxType = 5;
int TypeOf(uint16_t handle) { return handle & ((1 << kTypeBits) - 1); }

// Whether a line in `mask` changed between the two counts.
bool LinesChanged(uint8_t mask, const std::array<uint32_t, 4>& before,
                  const std::array<uint32_t, 4>& now) {
  constexpr uint8_t kLineBits[4] = {kModemCTS, kModemDSR, kModemRI, kModemDCD};
  for (int line = 0; line < 4; ++line) {
    if ((mask & kLineBits[line]) && before[line] != now[line]) return true;
  }
  return false;
}
}  // namespace

uint16_t SerialTriggers::Add(int type) {
  if (type < 1 || type > kMaxType) throw EBadArgument();
  for (int slot = 1; slot <= kSlots; ++slot) {
    const auto handle = static_cast<uint16_t>((slot << kTypeBits) | type);
    const bool taken = std::any_of(triggers_.begin(), triggers_.end(), [&](const Trigger& t) {
      return (t.handle >> kTypeBits) == slot;
    });
    if (!taken) {
      triggers_.push_back(Trigger{handle, 0, 0, {}, false, 0});
      return handle;
    }
  }
  throw ENoMoreTriggers();
}

SerialTriggers::Trigger* SerialTriggers::Find(uint16_t handle) {
  auto it = std::find_if(triggers_.begin(), triggers_.end(),
                         [&](const Trigger& t) { return t.handle == handle; });
  return it == triggers_.end() ? nullptr : &*it;
}

void SerialTriggers::Arm(uint16_t handle, uint8_t mask, bool activate, const ModemStatus& status) {
  Trigger* trigger = Find(handle);
  if (!trigger) throw EBadTriggerHandle();
  const ModemReading now = status.Reading();
  trigger->mask = mask;
  trigger->stored = now.value & mask;
  trigger->changes = now.changes;
  trigger->armed = activate;
  ++trigger->arming;
}

void SerialTriggers::Remove(uint16_t handle) {
  if (!Find(handle)) throw EBadTriggerHandle();
  std::erase_if(triggers_, [&](const Trigger& t) { return t.handle == handle; });
}

void SerialTriggers::Rebase(const ModemStatus& status) {
  const ModemReading now = status.Reading();
  for (Trigger& t : triggers_) t.changes = now.changes;
}

void SerialTriggers::Rearm(const Fired& fired) {
  Trigger* trigger = Find(fired.handle);
  if (trigger && trigger->arming == fired.arming) trigger->armed = true;
}

bool SerialTriggers::AnyArmed() const {
  return std::any_of(triggers_.begin(), triggers_.end(),
                     [](const Trigger& trigger) { return trigger.armed; });
}

bool SerialTriggers::Known(uint16_t handle) const {
  return std::any_of(triggers_.begin(), triggers_.end(),
                     [&](const Trigger& t) { return t.handle == handle; });
}

std::vector<SerialTriggers::Fired> SerialTriggers::Fire(const ModemStatus& status) {
  const ModemReading now = status.Reading();
  std::vector<Fired> fired;
  for (Trigger& t : triggers_) {
    if (!t.armed || TypeOf(t.handle) != kModemTriggerType) continue;
    if (((t.stored ^ now.value) & t.mask) != 0 || LinesChanged(t.mask, t.changes, now.changes)) {
      t.armed = false;
      fired.push_back({t.handle, t.arming});
    }
  }
  return fired;
}
