#include "ControllerReplies.h"

#include <algorithm>

#include "TrackArming.h"

namespace controller_replies {

namespace {

using namespace sony;

constexpr int kIdentBytes = 2;
// TransportMode (S1 without standby) of the lamps.
constexpr int kModeStop = kS1Stop;
constexpr int kModePlay = kS1Play;
constexpr int kModeRecordPlay = kS1Play | kS1Record;
constexpr int kModeRewind = kS1Rewind;
constexpr int kModeFastForward = kS1FastFwd;
constexpr int kModeReversePlay = 0x22;  // the reverse-play key's tag, as the panel has it

bool IsTimeData(uint8_t cmd2) {
  return cmd2 == kTimer1TimeData || cmd2 == kTimer2TimeData || cmd2 == kLtcTimeData ||
         cmd2 == kVitcTimeData || cmd2 == kTimeData14;
}

void ShowStatusLamps(const SonyPort& port, MachineControlPanel& panel) {
  const int mode = port.TransportMode;
  panel.kedit.SetLit(port.EditLamp);
  panel.koff.SetLit(!panel.kedit.Lit);
  panel.kstop.SetLit(mode == kModeStop);
  panel.kplay.SetLit(mode == kModePlay || mode == kModeRecordPlay);
  panel.krwd.SetLit(mode == kModeRewind);
  panel.kfwd.SetLit(mode == kModeFastForward);
  panel.krvsplay.SetLit(mode == kModeReversePlay);
  panel.kremote.SetLit(port.Remote);
  panel.kremote.Caption = port.Remote ? "remote" : "Local";
  panel.kgoto.SetLit(port.GotoLamp);
  panel.kcued.SetLit(port.Cued);
  panel.kstill.SetLit(port.Still);
}

// Byte 1 is the preset byte, bytes 2.. the track bytes; a reply longer than the 12 track bytes
// has its surplus ignored rather than written past them.
void StoreEditPreset(SonyPort& port, MachineControlPanel& panel) {
  const int count = port.Rx.DataCount();
  if (count < 1) return;
  bool changed = false;
  if (port.Rx.Data(1) != port.PresetByte) {
    port.PresetByte = port.Rx.Data(1);
    changed = true;
  }
  const int tracks = std::min(count - 1, static_cast<int>(port.TrackBytes.size()));
  for (int i = 0; i < tracks; ++i) {
    uint8_t& stored = port.TrackBytes[static_cast<std::size_t>(i)];
    if (port.Rx.Data(i + 2) != stored) {
      stored = port.Rx.Data(i + 2);
      changed = true;
    }
  }
  if (changed) track_arming::ShowControllerTracks(port, panel);
}

}  // namespace

void ShowControllerIdent(SonyPort& port, MachineControlPanel& panel) {
  if (port.Rx.DataCount() < kIdentBytes) return;
  if (port.Rx.Cmd2() == sony::kDeviceType) {
    panel.name = DeviceTypeText(port);
  } else if (port.Rx.Cmd2() == sony::kVersionData) {
    panel.statusText =
        panel.name + " V: " + HexByte(port.Rx.Data(1)) + " " + HexByte(port.Rx.Data(2));
  }
}

void ShowControllerReply(SonyPort& port, MachineControlPanel& panel) {
  const uint8_t cmd2 = port.Rx.Cmd2();
  if (IsTimeData(cmd2)) {
    if (port.Rx.DataCount() >= sony::kTimeBytes) panel.bpoz = TimeDataText(port);
  } else if (cmd2 == sony::kStatusData) {
    if (StoreStatus(port)) ShowStatusLamps(port, panel);
  } else if (cmd2 == sony::kEditPresetData) {
    StoreEditPreset(port, panel);
  }
}

}  // namespace controller_replies
