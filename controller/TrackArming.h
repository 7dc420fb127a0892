// Track arming from the controller's panel: 24 track keys over four banks of 96 tracks, the
// function keys A1, A2, TC, A4, V, ASM and INS, and the EDIT PRESET message built from them.
// The lit keys are the truth: the preset bytes are rebuilt from them after each press, and the
// keys are relit from the bytes when an edit-preset reply changes them.
#pragma once

#include "ArmingKeys.h"
#include "MachineControlPanel.h"
#include "sonyname.h"

namespace track_arming {

constexpr int kSkipAfterArming = 5;  // replies dropped unseen after a track or function key

// Index into TrackBytes of the first byte the track keys show: 3 x the bank key's level.
int BankOffset(const MachineControlPanel& panel);

// Relights kr1..kr24 from the three track bytes of the bank shown and the function keys from
// PresetByte bits 0..6.
void ShowControllerTracks(const SonyPort& port, MachineControlPanel& panel);

// Track key kr<button> (1..24) pressed: toggles it, rebuilds the bank's three bytes and sends.
// Other button numbers are ignored.
void kr1Click(int button, SonyPort& port, MachineControlPanel& panel);

// Function key pressed: toggles it, rebuilds PresetByte bits 0..5 and sends.
void ka1Click(FunctionKey key, SonyPort& port, MachineControlPanel& panel);

// Sets INS from the armed tracks 1..24 and A/V bits unless ASM is lit, then queues
// 4D 30 PresetByte TrackBytes[0..11] and sets EditOnPending from the kediton box.
void SendTrackArming(SonyPort& port, MachineControlPanel& panel);

// Next bank (1-24, 25-48, 49-72, 73-96, then 1-24 again): captions and lamps follow; sends nothing.
void kbankClick(const SonyPort& port, MachineControlPanel& panel);

}  // namespace track_arming
