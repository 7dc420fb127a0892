#include "TrackArming.h"

#include <string>

namespace track_arming {

namespace {

constexpr int kBanks = 4;
constexpr int kBytesPerBank = 3;
constexpr uint8_t kAudioVideoBits = sony::kPresetAudioVideo;
constexpr uint8_t kInsertBit = sony::kPresetInsert;

bool Bit(uint8_t byte, int bit) { return ((byte >> bit) & 1) != 0; }

void RebuildBank(SonyPort& port, const MachineControlPanel& panel) {
  const int offset = BankOffset(panel);
  for (int b = 0; b < kBytesPerBank; ++b) {
    uint8_t byte = 0;
    for (int bit = 0; bit < 8; ++bit) {
      if (panel.kr[static_cast<std::size_t>(b * 8 + bit)].Lit)
        byte = static_cast<uint8_t>(byte | (1 << bit));
    }
    port.TrackBytes[static_cast<std::size_t>(offset + b)] = byte;
  }
}

void RebuildPresetByte(SonyPort& port, const MachineControlPanel& panel) {
  uint8_t byte = 0;
  for (int bit = 0; bit <= static_cast<int>(FunctionKey::ASM); ++bit) {
    if (panel.ka[static_cast<std::size_t>(bit)].Lit) byte = static_cast<uint8_t>(byte | (1 << bit));
  }
  port.PresetByte = byte;
}

bool AnyInsertSource(const SonyPort& port) {
  return (port.PresetByte & kAudioVideoBits) != 0 || port.TrackBytes[0] != 0 ||
         port.TrackBytes[1] != 0 || port.TrackBytes[2] != 0;
}

std::string BankCaption(int bank) {
  const int first = bank * MachineControlPanel::kTrackKeys + 1;
  return std::to_string(first) + "-" + std::to_string(first + MachineControlPanel::kTrackKeys - 1);
}

}  // namespace

int BankOffset(const MachineControlPanel& panel) { return kBytesPerBank * panel.kbank.LitState; }

void ShowControllerTracks(const SonyPort& port, MachineControlPanel& panel) {
  const int offset = BankOffset(panel);
  for (int key = 0; key < MachineControlPanel::kTrackKeys; ++key) {
    const uint8_t byte = port.TrackBytes[static_cast<std::size_t>(offset + key / 8)];
    panel.kr[static_cast<std::size_t>(key)].SetLit(Bit(byte, key % 8));
  }
  for (int bit = 0; bit < MachineControlPanel::kFunctionKeys; ++bit) {
    panel.ka[static_cast<std::size_t>(bit)].SetLit(Bit(port.PresetByte, bit));
  }
}

void kr1Click(int button, SonyPort& port, MachineControlPanel& panel) {
  if (button < 1 || button > MachineControlPanel::kTrackKeys) return;
  port.SkipReplies = kSkipAfterArming;
  PanelLamp& key = panel.kr[static_cast<std::size_t>(button - 1)];
  key.SetLit(!key.Lit);
  RebuildBank(port, panel);
  SendTrackArming(port, panel);
}

void ka1Click(FunctionKey key, SonyPort& port, MachineControlPanel& panel) {
  const int bit = static_cast<int>(key);
  if (bit < 0 || bit >= MachineControlPanel::kFunctionKeys) return;
  port.SkipReplies = kSkipAfterArming;
  PanelLamp& lamp = panel.ka[static_cast<std::size_t>(bit)];
  lamp.SetLit(!lamp.Lit);
  RebuildPresetByte(port, panel);
  SendTrackArming(port, panel);
}

void SendTrackArming(SonyPort& port, MachineControlPanel& panel) {
  PanelLamp& insert = panel.Function(FunctionKey::INS);
  if (!panel.Function(FunctionKey::ASM).Lit) insert.SetLit(AnyInsertSource(port));
  if (insert.Lit) port.PresetByte = static_cast<uint8_t>(port.PresetByte | kInsertBit);
  port.Tx[0] = sony::Cmd1(sony::kPresetSelect, sony::kEditPresetBytes);
  port.Tx[1] = sony::kEditPreset;
  port.Tx[2] = port.PresetByte;
  for (std::size_t i = 0; i < port.TrackBytes.size(); ++i) port.Tx[3 + i] = port.TrackBytes[i];
  port.CommandPending = true;
  port.EditOnPending = panel.kediton;
}

void kbankClick(const SonyPort& port, MachineControlPanel& panel) {
  const int bank = (panel.kbank.LitState + 1) % kBanks;
  panel.kbank.SetLitState(bank);
  panel.kbank.Caption = BankCaption(bank);
  for (int key = 0; key < MachineControlPanel::kTrackKeys; ++key) {
    panel.kr[static_cast<std::size_t>(key)].Caption =
        std::to_string(bank * MachineControlPanel::kTrackKeys + key + 1);
  }
  ShowControllerTracks(port, panel);
}

}  // namespace track_arming
