// The controller engine and the virtual machine engine wired back to back through a byte pipe:
// every write of the controller's frame tick arrives as one data event of the virtual machine,
// whose reply arrives as one data event of the controller; then the machine's position advances.
#pragma once

#include "MachineController.h"
#include "VirtualMachine.h"

struct BackToBack {
  MachineController controller;
  VirtualMachine vm;

  // The virtual machine as restored from a settings record and shown.
  explicit BackToBack(uint8_t standard = 0, int32_t machineType = 0) {
    vm.RestoreSettings(VmSettings{standard, machineType, 0, false});
    vm.FormShow();
  }

  void Tick() {
    for (const Bytes& write : controller.FrameTick(true)) {
      const Bytes reply = vm.DataAvailable(write, VmEventContext{}).ReplyBytes();
      if (!reply.empty()) controller.SerialBTriggerAvail(reply);
    }
    vm.FrameTick();
  }

  void Ticks(int count) {
    for (int i = 0; i < count; ++i) Tick();
  }
};
