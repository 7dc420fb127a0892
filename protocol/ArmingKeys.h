// Track arming as both panels hold it: 24 track keys showing one of four banks of the 96 tracks,
// the function keys A1, A2, TC, A4, V, ASM and INS (bits 0..6 of the edit-preset byte), the bank
// key, and the rule that lights INS. The two panels differ only in that rule, so it is a value.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "SonyCommands.h"

namespace arming {

constexpr int kTrackKeys = 24;
constexpr int kKeysPerByte = 8;
constexpr int kBytesPerBank = kTrackKeys / kKeysPerByte;
constexpr int kBanks = 4;
constexpr int kTrackBytes = kBanks * kBytesPerBank;
constexpr int kFunctionKeys = 7;
constexpr int kAssembleKey = 5;
constexpr int kInsertKey = 6;

using TrackBytes = std::array<uint8_t, kTrackBytes>;
using TrackKeys = std::array<bool, kTrackKeys>;
using FunctionKeys = std::array<bool, kFunctionKeys>;

static_assert(kTrackBytes == sony::kTrackPresetBytes);

// When INS lights and what it does to the preset byte's insert bit.
struct InsertRule {
  bool assembleDarkensInsert;  // ASM lit turns INS off; otherwise ASM lit leaves INS as it is
  int armingBytes;             // track bytes 0..armingBytes-1 that light INS when not zero
  bool darkInsertClearsBit;    // INS off clears the insert bit; otherwise the bit is only set
};

// The virtual machine: ASM darkens INS, and an armed track in any bank lights it.
inline constexpr InsertRule kMachineInsertRule{true, kTrackBytes, true};
// The controller: ASM leaves INS as it is, only tracks 1..24 light it, and INS off leaves the
// insert bit set.
inline constexpr InsertRule kControllerInsertRule{false, kBytesPerBank, false};

// Index into the track bytes of the first byte bank 0..3 shows.
int BankOffset(int bank);
// The bank after `bank`: 0, 1, 2, 3, then 0 again.
int NextBank(int bank);
// "1-24", "25-48", "49-72", "73-96".
std::string BankCaption(int bank);
// Caption of track key 0..23 in `bank`: its track number.
std::string TrackCaption(int bank, int key);

// Writes the lit track keys into the three bytes of `bank`.
void StoreBank(const TrackKeys& lit, int bank, TrackBytes& bytes);
// The track keys as the three bytes of `bank` light them.
TrackKeys BankKeys(const TrackBytes& bytes, int bank);
// Preset bits 0..5 from the lit function keys; INS's bit is the insert rule's.
uint8_t PresetFromKeys(const FunctionKeys& lit);
// The function keys as preset bits 0..6 light them.
FunctionKeys KeysFromPreset(uint8_t preset);

// Applies `rule` after a key press: returns whether INS is lit now and updates the insert bit.
bool ApplyInsertRule(const InsertRule& rule, const FunctionKeys& lit, uint8_t& preset,
                     const TrackBytes& bytes);

}  // namespace arming
