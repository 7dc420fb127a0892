// The modem-status triggers of a port. They belong to the component, not to one opening: a
// reopen (or a change of ComNumber) keeps them. A handle carries its type in its low three bits.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

class SerialTriggers {
 public:
  static constexpr int kSlots = 16;

  // A new unarmed trigger of `type` (1..5); EBadArgument or ENoMoreTriggers.
  uint16_t Add(int type);
  // Stores the mask and the masked part of `status`, and arms or disarms; EBadTriggerHandle.
  void Arm(uint16_t handle, uint8_t mask, bool activate, uint8_t status);
  void Remove(uint16_t handle);  // EBadTriggerHandle
  bool Known(uint16_t handle) const;
  // The armed modem triggers that fire for `status` (lines in `toggled` count as changed even
  // when back where they were); each is disarmed.
  std::vector<uint16_t> Fire(uint8_t status, uint8_t toggled);

 private:
  struct Trigger {
    uint16_t handle = 0;
    uint8_t mask = 0;
    uint8_t stored = 0;
    bool armed = false;
  };
  Trigger* Find(uint16_t handle);

  mutable std::mutex mutex_;
  std::vector<Trigger> triggers_;
};
