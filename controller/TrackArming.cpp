#include "TrackArming.h"

namespace track_arming {

namespace {

template <std::size_t N>
std::array<bool, N> LitKeys(const std::array<PanelLamp, N>& lamps) {
  std::array<bool, N> lit{};
  for (std::size_t i = 0; i < N; ++i) lit[i] = lamps[i].Lit;
  return lit;
}

}  // namespace

int BankOffset(const MachineControlPanel& panel) {
  return arming::BankOffset(panel.kbank.LitState);
}

void ShowControllerTracks(const SonyPort& port, MachineControlPanel& panel) {
  const arming::TrackKeys tracks = arming::BankKeys(port.TrackBytes, panel.kbank.LitState);
  for (std::size_t i = 0; i < tracks.size(); ++i) panel.kr[i].SetLit(tracks[i]);
  const arming::FunctionKeys functions = arming::KeysFromPreset(port.PresetByte);
  for (std::size_t i = 0; i < functions.size(); ++i) panel.ka[i].SetLit(functions[i]);
}

void kr1Click(int button, SonyPort& port, MachineControlPanel& panel) {
  if (button < 1 || button > MachineControlPanel::kTrackKeys) return;
  port.SkipReplies = kSkipAfterArming;
  PanelLamp& key = panel.kr[static_cast<std::size_t>(button - 1)];
  key.SetLit(!key.Lit);
  arming::StoreBank(LitKeys(panel.kr), panel.kbank.LitState, port.TrackBytes);
  SendTrackArming(port, panel);
}

void ka1Click(FunctionKey key, SonyPort& port, MachineControlPanel& panel) {
  const int bit = static_cast<int>(key);
  if (bit < 0 || bit >= MachineControlPanel::kFunctionKeys) return;
  port.SkipReplies = kSkipAfterArming;
  PanelLamp& lamp = panel.ka[static_cast<std::size_t>(bit)];
  lamp.SetLit(!lamp.Lit);
  port.PresetByte = arming::PresetFromKeys(LitKeys(panel.ka));
  SendTrackArming(port, panel);
}

void SendTrackArming(SonyPort& port, MachineControlPanel& panel) {
  panel.Function(FunctionKey::INS)
      .SetLit(arming::ApplyInsertRule(arming::kControllerInsertRule, LitKeys(panel.ka),
                                      port.PresetByte, port.TrackBytes));
  port.Tx[0] = sony::Cmd1(sony::kPresetSelect, sony::kEditPresetBytes);
  port.Tx[1] = sony::kEditPreset;
  port.Tx[2] = port.PresetByte;
  for (std::size_t i = 0; i < port.TrackBytes.size(); ++i) port.Tx[3 + i] = port.TrackBytes[i];
  port.CommandPending = true;
  port.EditOnPending = panel.kediton;
}

void kbankClick(const SonyPort& port, MachineControlPanel& panel) {
  const int bank = arming::NextBank(panel.kbank.LitState);
  panel.kbank.SetLitState(bank);
  panel.kbank.Caption = arming::BankCaption(bank);
  for (int key = 0; key < MachineControlPanel::kTrackKeys; ++key) {
    panel.kr[static_cast<std::size_t>(key)].Caption = arming::TrackCaption(bank, key);
  }
  ShowControllerTracks(port, panel);
}

}  // namespace track_arming
