// The "Virtual Machine" panel as data: every lamp, caption, label, check box and menu mark the
// window shows for port A. The engine is the only writer; a window mirrors these fields onto its
// widgets after each call into the engine.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ArmingKeys.h"
#include "PanelLamp.h"
#include "TransportTags.h"

// Tag of the "Enter ID" item in the "Mcn" radio group (identities use 0..16).
constexpr int kEnterIdItem = 17;
// No item of a radio menu checked.
constexpr int kNoItem = -1;

constexpr int kTrackKeys = arming::kTrackKeys;  // rr1..rr24
// ra1 "A1", ra2 "A2", rtc "tc", ra4 "A4", rv "V", rasm "A", rins "I"
constexpr int kFunctionKeys = arming::kFunctionKeys;
constexpr int kFunctionAssemble = arming::kAssembleKey;
constexpr int kFunctionInsert = arming::kInsertKey;

// Who may drive the transport: the panel, the editor, or both. vlocal shows it.
enum class VmMode : uint8_t {
  Both,    // vlocal level 1, caption "both"
  Remote,  // vlocal level 3, caption "Remote": panel transport keys and Goto do nothing
  Local,   // vlocal level 0, caption "local": editor transport and preset commands are ignored
};

struct VmPanel {
  // Transport keys (lamp levels).
  uint8_t vrwd = kLampOff;
  uint8_t vrvsplay = kLampOff;
  uint8_t vstop = kLampLit;
  uint8_t vplay = kLampOff;
  uint8_t vfwd = kLampOff;
  uint8_t vedit = kLampOff;
  uint8_t vOff = kLampLit;
  // Indicator lamps.
  uint8_t vcued = kLampOff;
  uint8_t vlocked = kLampOff;
  // Mode key.
  uint8_t vlocal = 1;
  std::string vlocalCaption = "Both";
  // Labels.
  std::string vtally;
  std::string vpoz = "__:__:__:__";
  std::string cmdstr;    // last message not recognised, "5A 00 5A "
  std::string csuma;     // port A checksum failures, two hex digits once one occurred
  uint8_t csumaTag = 0;  // the count csuma shows
  // Check boxes.
  bool qall = false;  // "cued"
  bool nostill = true;
  bool recinhibit = false;  // "Rec Inhibit"
  bool nostatus = false;    // "No Status"
  // Track-arming keys (lamp levels) and their captions.
  std::array<uint8_t, kTrackKeys> rr{};
  std::array<std::string, kTrackKeys> rrCaption{};
  std::array<uint8_t, kFunctionKeys> ra{};
  uint8_t bank = kLampOff;
  std::string bankCaption = "1-24";
  // Menus: the checked tag of each radio group (kNoItem when none) and the toggle item.
  int machineChecked = 0;      // "Mcn": 0..16, or kEnterIdItem
  int standardChecked = 0;     // "STD": 0..3
  int mcnNoChecked = kNoItem;  // "Mcn No.": 0..4
  int tracksChecked = 0;       // "Tracks": 0, 16, 32, 48, 64
  bool rvslockdir = false;     // "Reverse Lock rvs"
  // Status-bar panel 1 and Timer1's interval as the last standard choice set them.
  std::string standardPanelText = "EBU";
  int timer1IntervalMs = 60;
  // The two "EVS DD35" clip-server panels (DD35Panel1, DD35Panel2).
  bool clipPanelsVisible = false;

  bool operator==(const VmPanel&) const = default;
};
