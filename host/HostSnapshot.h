// What the engine host publishes to its front end after each change: the state of both engines'
// panels, the ports and the sync row (HostSnapshot, the latest one only), and the lines and
// messages produced since the last take (HostOutput, nothing dropped).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CaptureFile.h"
#include "ClipServer.h"
#include "LinkHealth.h"
#include "MachineControlPanel.h"
#include "ProgramPorts.h"
#include "RackRow.h"
#include "SettingsRecord.h"
#include "VmPanel.h"

struct HostPortState {
  bool open = false;
  int comNumber = 0;
  bool dtrLamp = false;  // lit = output off
  bool rtsLamp = false;

  bool operator==(const HostPortState&) const = default;
};

struct HostSnapshot {
  SettingsRecord record;  // views, port numbers and the window place as the host keeps them
  VmPanel vm;
  ClipServer clips;
  bool vmPanelKeysActive = true;  // false in Remote mode: the panel's Goto shows no keypad
  std::string enterIdText;        // the "Enter ID" dialog's initial text
  MachineControlPanel controller;
  HostPortState portA;
  HostPortState portB;
  LineLamps lines;
  LinkHealth linkA;       // the editor's requests on port A and the virtual machine's replies
  LinkHealth linkB;       // the controller's polls on port B and the machine's replies
  bool openLit = false;   // "Ports Open"
  bool closeLit = false;  // "Ports Close"
  bool syncA = false;
  bool syncB = false;
  std::string syncACaption = "No Sync A";
  std::string syncBCaption = "No Sync B";
  int lostLock = 0;
  int timer1Ms = 60;
  int timer2Ms = 80;
  bool settingsLoaded = false;  // the settings file existed and was read
  bool capturing = false;
  std::string capturePath;  // the file being captured to
  bool bridging = false;
  uint64_t actionsDone = 0;  // how many posted actions have run (tests wait on it)

  std::string personality = "ideal";  // the virtual machine's personality, by name
  std::vector<RackRow> rack;          // one row per machine of a rack, in the rack's order

  bool operator==(const HostSnapshot&) const = default;
};

// A question for the user that the host waits for while it keeps serving the ports.
struct PortQuestion {
  std::vector<SerialSelectEntry> entries;
  uint64_t id = 0;
};

struct HostOutput {
  std::optional<HostSnapshot> snapshot;       // present when something changed since the last take
  std::vector<std::string> monitorLines;      // port A's monitor lines, in order
  std::vector<std::string> controllerLines;   // "B 00:01:02:03 DA-88 PAL stop remote" on change
  std::vector<std::string> decodedLines;      // "A ..." / "B ..." decoded monitor lines, in order
  std::vector<CaptureRecord> trafficRecords;  // the same messages as records, host clock times
  std::vector<std::string> errors;            // messages for the user, in order
  std::vector<std::string> diagnostics;       // notes that do not stop a port
  std::optional<PortQuestion> portQuestion;   // the "Select Port" prompt to show and answer
};
