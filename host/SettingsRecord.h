// The window's persistent settings: one fixed 32-byte record, kept in memory for the whole run
// and always read and written whole. The file holds exactly these bytes, little-endian.
//
//   offset width field
//    0      1    Standard           standard code 0..3, copied from the virtual machine at save
//    1      3    Reserved1          never written by the program; what was read stays
//    4      4    PortANumber        COM number of port A (signed)
//    8      4    PortBNumber        COM number of port B (signed)
//   12      4    WindowLeft         main window's left edge at the last save (signed)
//   16      4    WindowTop          main window's top edge at the last save (signed)
//   20      4    MachineType        0..16, the "Mcn" menu entry (signed)
//   24      1    ShowVirtualMachine 0/1
//   25      1    ShowMachineControl 0/1
//   26      1    ShowSyncTest       0/1
//   27      1    ShowOpenClose      0/1
//   28      1    UnitTracksByte     "Mcn No." tag + "Tracks" tag
//   29      1    ShowGpo            0/1
//   30      1    ExtendedIdReply    0/1
//   31      1    Reserved31         never written
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

struct SettingsRecord {
  uint8_t Standard = 0;
  std::array<uint8_t, 3> Reserved1{};
  int32_t PortANumber = 0;
  int32_t PortBNumber = 0;
  int32_t WindowLeft = 0;
  int32_t WindowTop = 0;
  int32_t MachineType = 0;
  uint8_t ShowVirtualMachine = 0;
  uint8_t ShowMachineControl = 0;
  uint8_t ShowSyncTest = 0;
  uint8_t ShowOpenClose = 0;
  uint8_t UnitTracksByte = 0;
  uint8_t ShowGpo = 0;
  uint8_t ExtendedIdReply = 0;
  uint8_t Reserved31 = 0;

  static constexpr std::size_t kSize = 32;
  using Image = std::array<uint8_t, kSize>;

  // The record as the file holds it.
  Image ToBytes() const;
  // Fills the record from the start of `bytes`; a short image fills only the fields it covers,
  // the rest keep their values. Bytes past 32 are ignored.
  void FillFrom(std::span<const uint8_t> bytes);

  bool operator==(const SettingsRecord&) const = default;
};

static_assert(offsetof(SettingsRecord, Standard) == 0);
static_assert(offsetof(SettingsRecord, Reserved1) == 1);
static_assert(offsetof(SettingsRecord, PortANumber) == 4);
static_assert(offsetof(SettingsRecord, PortBNumber) == 8);
static_assert(offsetof(SettingsRecord, WindowLeft) == 12);
static_assert(offsetof(SettingsRecord, WindowTop) == 16);
static_assert(offsetof(SettingsRecord, MachineType) == 20);
static_assert(offsetof(SettingsRecord, ShowVirtualMachine) == 24);
static_assert(offsetof(SettingsRecord, ShowMachineControl) == 25);
static_assert(offsetof(SettingsRecord, ShowSyncTest) == 26);
static_assert(offsetof(SettingsRecord, ShowOpenClose) == 27);
static_assert(offsetof(SettingsRecord, UnitTracksByte) == 28);
static_assert(offsetof(SettingsRecord, ShowGpo) == 29);
static_assert(offsetof(SettingsRecord, ExtendedIdReply) == 30);
static_assert(offsetof(SettingsRecord, Reserved31) == 31);
static_assert(sizeof(SettingsRecord) == SettingsRecord::kSize);
