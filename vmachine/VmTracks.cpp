// Track arming of the virtual machine: the 24 track keys over four banks, the seven function keys
// and the edit-preset byte they make, mirrored into status bytes S5 and S12.
#include "VirtualMachine.h"

namespace {

constexpr int kKeysPerRow = 8;
constexpr int kBankRows = 3;

uint8_t Toggled(uint8_t lamp) { return lamp != kLampOff ? kLampOff : kLampLit; }

bool Lit(uint8_t lamp) { return lamp != kLampOff; }

}  // namespace

void VirtualMachine::rr1Click(int index) {
  if (index < 0 || index >= kTrackKeys) return;
  auto& lamp = panel_.rr[static_cast<std::size_t>(index)];
  lamp = Toggled(lamp);
  for (int row = 0; row < kBankRows; ++row) {
    uint8_t byte = 0;
    for (int k = 0; k < kKeysPerRow; ++k) {
      if (Lit(panel_.rr[static_cast<std::size_t>(row * kKeysPerRow + k)])) byte |= 1u << k;
    }
    trackBytes_[static_cast<std::size_t>(trackBank_ + row)] = byte;
  }
  UpdateInsertLamp();
}

void VirtualMachine::ra1Click(int index) {
  if (index < 0 || index >= kFunctionKeys) return;
  auto& lamp = panel_.ra[static_cast<std::size_t>(index)];
  lamp = Toggled(lamp);
  uint8_t preset = 0;
  for (int bit = 0; bit <= kFunctionAssemble; ++bit) {
    if (Lit(panel_.ra[static_cast<std::size_t>(bit)])) preset |= 1u << bit;
  }
  presetByte_ = preset;
  UpdateInsertLamp();
}

void VirtualMachine::UpdateInsertLamp() {
  auto& insert = panel_.ra[kFunctionInsert];
  if (Lit(panel_.ra[kFunctionAssemble])) {
    insert = kLampOff;
  } else {
    bool armed = (presetByte_ & sony::kPresetAudioVideo) != 0;
    for (uint8_t byte : trackBytes_) armed = armed || byte != 0;
    insert = armed ? kLampLit : kLampOff;
  }
  if (Lit(insert)) {
    presetByte_ |= sony::kPresetInsert;
  } else {
    presetByte_ &= static_cast<uint8_t>(~sony::kPresetInsert);
  }
  port_.Status[5] = presetByte_;
  port_.Status[12] = trackBytes_[0];
}

void VirtualMachine::bankClick() {
  static constexpr const char* kCaptions[] = {"1-24", "25-48", "49-72", "73-96"};
  const int level = (panel_.bank + 1) % 4;
  panel_.bank = static_cast<uint8_t>(level);
  trackBank_ = level * kBankRows;
  panel_.bankCaption = kCaptions[level];
  for (int i = 0; i < kTrackKeys; ++i) {
    panel_.rrCaption[static_cast<std::size_t>(i)] = std::to_string(level * kTrackKeys + i + 1);
  }
  ShowVmTrackLamps();
}

void VirtualMachine::ShowVmTrackLamps() {
  for (int i = 0; i < kTrackKeys; ++i) {
    const uint8_t byte = trackBytes_[static_cast<std::size_t>(trackBank_ + i / kKeysPerRow)];
    panel_.rr[static_cast<std::size_t>(i)] = (byte >> (i % kKeysPerRow)) & 1 ? kLampLit : kLampOff;
  }
  for (int bit = 0; bit < kFunctionKeys; ++bit) {
    panel_.ra[static_cast<std::size_t>(bit)] = (presetByte_ >> bit) & 1 ? kLampLit : kLampOff;
  }
  port_.Status[5] = presetByte_;
  port_.Status[12] = trackBytes_[0];
}
