// The modem-status triggers of a port. They belong to the component, not to one opening: a
// reopen (or a change of ComNumber) keeps them. A handle carries its type in its low three bits.
#pragma once

#include <cstdint>
#include <vector>

#include "ModemStatus.h"

class SerialTriggers {
 public:
  static constexpr int kSlots = 16;

  // A new unarmed trigger of `type` (1..5); EBadArgument or ENoMoreTriggers.
  uint16_t Add(int type);
  // Stores the mask, the masked part of `status` and its line change counts, and arms or
  // disarms; EBadTriggerHandle.
  void Arm(uint16_t handle, uint8_t mask, bool activate, const ModemStatus& status);
  void Remove(uint16_t handle);  // EBadTriggerHandle
  bool Known(uint16_t handle) const;
  bool AnyArmed() const;
  // Takes the line change counts of a new opening's `status` as every trigger's starting point:
  // triggers kept over a reopen compare only the stored line states with the new device.
  void Rebase(const ModemStatus& status);
  // A trigger that fired, and which of its armings it was.
  struct Fired {
    uint16_t handle = 0;
    uint32_t arming = 0;
  };
  // Arms a trigger that fired again with what it stored at that arming (its event never reached
  // the owner). Nothing when it was removed, armed or disarmed anew meanwhile.
  void Rearm(const Fired& fired);
  // The armed modem triggers that fire for `status`: a masked bit differs from the stored one,
  // or a masked line changed since the arming even if it is back where it was. Each is disarmed.
  std::vector<Fired> Fire(const ModemStatus& status);

 private:
  struct Trigger {
    uint16_t handle = 0;
    uint8_t mask = 0;
    uint8_t stored = 0;
    std::array<uint32_t, 4> changes{};
    bool armed = false;
    uint32_t arming = 0;  // counts ArmModemWatch calls
  };
  Trigger* Find(uint16_t handle);

  std::vector<Trigger> triggers_;
};
