// The fixed tables behind the virtual machine's "Mcn", "STD", "Mcn No." and "Tracks" menus, and
// the reading of an "Enter ID" text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct MachineIdentity {
  std::string_view item;     // menu item name, e.g. "DA881"
  std::string_view caption;  // menu caption, e.g. "DA88"
  std::array<uint8_t, 2> deviceId;
  bool extendedIdReply;  // answers the device-type request in the four-byte form
};

constexpr int kMachineTypes = 17;
constexpr int kClipServerMachineType = 16;  // "EVS DD35" shows the clip-server panels

// The identity of tag 0..16.
const MachineIdentity& IdentityOf(int machineType);

struct StandardInfo {
  std::string_view item;       // e.g. "PAL251"
  std::string_view caption;    // e.g. "EBU"
  std::string_view panelText;  // status-bar panel 1
  int timer1IntervalMs;
};

// The STD entry of a standard code; codes other than 0, 1 and 2 read as 3 (SMPTE drop).
const StandardInfo& StandardOf(uint8_t standard);

// "Mcn No." tags 0..4 ("None", "1".."4") and "Tracks" tags 0, 16, 32, 48, 64 ("Normal",
// "Eight", "Sixteen", "Twentyfour", "ThirtyTwo").
bool IsMcnNoTag(int tag);
bool IsTracksTag(int tag);

// The dialog of "Enter ID".
constexpr std::string_view kEnterIdCaption = "New ID";
constexpr std::string_view kEnterIdPrompt = "Enter a new ID for portA";

// "$F01D" for the device-type bytes F0 1D.
std::string DeviceIdText(const std::array<uint8_t, 2>& deviceId);

// A whole number in decimal ("4660", "-1") or hexadecimal after "$" or "0x" ("$1234",
// "0x1234"); surrounding spaces are allowed. Returns nothing for any other text or a value
// outside 32 bits.
std::optional<int32_t> ParseWholeNumber(std::string_view text);

// The two device-type bytes an entered value gives: (v / 256) and v, low 8 bits of each.
std::array<uint8_t, 2> DeviceIdFromValue(int32_t value);
