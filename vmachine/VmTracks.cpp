// Track arming of the virtual machine: the 24 track keys over four banks, the seven function keys
// and the edit-preset byte they make, mirrored into status bytes S5 and S12.
#include "VirtualMachine.h"

namespace {

uint8_t Toggled(uint8_t lamp) { return lamp != kLampOff ? kLampOff : kLampLit; }

uint8_t Level(bool lit) { return lit ? kLampLit : kLampOff; }

template <std::size_t N>
std::array<bool, N> LitKeys(const std::array<uint8_t, N>& lamps) {
  std::array<bool, N> lit{};
  for (std::size_t i = 0; i < N; ++i) lit[i] = lamps[i] != kLampOff;
  return lit;
}

}  // namespace

void VirtualMachine::rr1Click(int index) {
  if (index < 0 || index >= kTrackKeys) return;
  auto& lamp = panel_.rr[static_cast<std::size_t>(index)];
  lamp = Toggled(lamp);
  arming::StoreBank(LitKeys(panel_.rr), panel_.bank, trackBytes_);
  UpdateInsertLamp();
}

void VirtualMachine::ra1Click(int index) {
  if (index < 0 || index >= kFunctionKeys) return;
  auto& lamp = panel_.ra[static_cast<std::size_t>(index)];
  lamp = Toggled(lamp);
  presetByte_ = arming::PresetFromKeys(LitKeys(panel_.ra));
  UpdateInsertLamp();
}

void VirtualMachine::UpdateInsertLamp() {
  const bool insert = arming::ApplyInsertRule(arming::kMachineInsertRule, LitKeys(panel_.ra),
                                              presetByte_, trackBytes_);
  panel_.ra[kFunctionInsert] = Level(insert);
  port_.Status[5] = presetByte_;
  port_.Status[12] = trackBytes_[0];
}

void VirtualMachine::bankClick() {
  const int level = arming::NextBank(panel_.bank);
  panel_.bank = static_cast<uint8_t>(level);
  trackBank_ = arming::BankOffset(level);
  panel_.bankCaption = arming::BankCaption(level);
  for (int i = 0; i < kTrackKeys; ++i) {
    panel_.rrCaption[static_cast<std::size_t>(i)] = arming::TrackCaption(level, i);
  }
  ShowVmTrackLamps();
}

void VirtualMachine::ShowVmTrackLamps() {
  const arming::TrackKeys tracks = arming::BankKeys(trackBytes_, panel_.bank);
  for (std::size_t i = 0; i < tracks.size(); ++i) panel_.rr[i] = Level(tracks[i]);
  const arming::FunctionKeys functions = arming::KeysFromPreset(presetByte_);
  for (std::size_t i = 0; i < functions.size(); ++i) panel_.ra[i] = Level(functions[i]);
  port_.Status[5] = presetByte_;
  port_.Status[12] = trackBytes_[0];
}
