// The modem status byte of an open port: the input line states (kModemCTS, DSR, RI, DCD) and the
// change bits (delta-CTS, delta-DSR, trailing-edge RI, delta-DCD). Readings set change bits; the
// owner's line reads clear them, one per read.
#pragma once

#include "SerialDevice.h"

#include <cstdint>
#include <mutex>

class ModemStatus {
 public:
  // Starts from `sample` with every change bit clear.
  void Reset(const LineSample& sample);
  // Takes a new reading; returns the lines that changed since the previous one.
  uint8_t Update(const LineSample& sample);
  // Whether `bit` is set; clears `changeBit` (0 clears nothing).
  bool Take(uint8_t bit, uint8_t changeBit);
  uint8_t Value() const;

 private:
  mutable std::mutex mutex_;
  uint8_t value_ = 0;
};
