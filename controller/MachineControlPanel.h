// The "Machine Control" panel of port B as data. The controller engine is the only writer; the
// main window copies these fields onto its widgets after every engine call. Captions are data only
// where they change at run time (kremote, kr1..kr24, kbank); the others are the window's own.
#pragma once

#include <array>
#include <string>

#include "ArmingKeys.h"
#include "PanelLamp.h"

// Bit order of the function keys in the edit-preset byte.
enum class FunctionKey { A1 = 0, A2 = 1, TC = 2, A4 = 3, V = 4, ASM = 5, INS = 6 };

struct MachineControlPanel {
  static constexpr int kTrackKeys = arming::kTrackKeys;
  static constexpr int kFunctionKeys = arming::kFunctionKeys;

  std::string name = "Name";         // device name of the controlled machine
  std::string bpoz = "__:__:__:__";  // the machine's time code
  std::string csumb = "00";          // port B checksum failures, two hexadecimal digits
  int csumbTag = 0;                  // the count shown in csumb
  std::string statusText;            // StatusBar1 panel 0: the version text

  // Transport and state lamps; they change only when a status reply changes a status byte.
  PanelLamp kstop, kplay, krwd, kfwd, krvsplay;
  PanelLamp kedit;
  PanelLamp koff{true, kLampLit, {}};    // lit at start: edit off
  PanelLamp kremote{false, 0, "Local"};  // lit and captioned "remote" while the machine is remote
  PanelLamp kgoto, kcued, kstill;

  // kr1..kr24 (index 0 = kr1), captions follow the bank: "1".."24", "25".."48", ...
  std::array<PanelLamp, kTrackKeys> kr = TrackKeys();
  // ka1, ka2, ktc, ka4, kv, kasm, kins (index = FunctionKey).
  std::array<PanelLamp, kFunctionKeys> ka{};
  // Bank key: LitState 0..3 is the bank, its caption names the tracks shown ("1-24" at start).
  PanelLamp kbank{false, 0, "1-24"};
  bool kediton = false;  // "Editron with trackarm" check box

  PanelLamp& Function(FunctionKey key) { return ka[static_cast<std::size_t>(key)]; }
  const PanelLamp& Function(FunctionKey key) const { return ka[static_cast<std::size_t>(key)]; }

  bool operator==(const MachineControlPanel&) const = default;

 private:
  static std::array<PanelLamp, kTrackKeys> TrackKeys() {
    std::array<PanelLamp, kTrackKeys> keys{};
    for (int i = 0; i < kTrackKeys; ++i)
      keys[static_cast<std::size_t>(i)].Caption = std::to_string(i + 1);
    return keys;
  }
};
