#include "VmTestSupport.h"

VirtualMachine StartedMachine(int machineType, uint8_t standard) {
  VirtualMachine vm;
  vm.RestoreSettings({standard, machineType, 0, false});
  vm.FormShow();
  return vm;
}

Bytes Send(VirtualMachine& vm, std::initializer_list<uint8_t> body) {
  const Bytes message = Framed(body);
  return vm.DataAvailable(message, VmEventContext{}).ReplyBytes();
}

void Ticks(VirtualMachine& vm, int n) {
  for (int i = 0; i < n; ++i) vm.FrameTick();
}
