// A virtual machine standing alone with an identity and a standard, started as the window starts
// it: what a machine of a rack must answer like.
#pragma once

#include <cstdint>

#include "VirtualMachine.h"

inline void StartLone(VirtualMachine& vm, int machine, int standard) {
  VmSettings settings;
  settings.MachineType = machine;
  settings.Standard = static_cast<uint8_t>(standard);
  vm.RestoreSettings(settings);
  vm.FormShow();
}
