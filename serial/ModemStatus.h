// The modem status byte of an open port: the input line states (kModemCTS, DSR, RI, DCD) and the
// change bits (delta-CTS, delta-DSR, trailing-edge RI, delta-DCD). Readings set change bits; the
// owner's line reads clear them, one per read.
//
// Readings come from the port's line watch and from the owner's own line reads. Each line also
// counts its changes, so a trigger can tell a change after its arming from one before, whichever
// of them took the reading that saw it.
#pragma once

#include <array>
#include <cstdint>

#include "SerialDevice.h"

// The status byte with the change count of each line (index 0 CTS, 1 DSR, 2 RI, 3 DCD).
struct ModemReading {
  uint8_t value = 0;
  std::array<uint32_t, 4> changes{};
};

class ModemStatus {
 public:
  // Starts from `sample` with every change bit clear.
  void Reset(const LineSample& sample);
  // Takes a new reading: lines that differ from the previous one, or that the device saw toggle,
  // set their change bits and count one change.
  void Update(const LineSample& sample);
  // Whether `bit` is set; clears `changeBit` (0 clears nothing).
  bool Take(uint8_t bit, uint8_t changeBit);
  uint8_t Value() const;
  ModemReading Reading() const;

 private:
  ModemReading reading_;
};
