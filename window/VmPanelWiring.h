// The machine controls of a "Virtual Machine" panel wired to one machine: transport and mode keys,
// Goto, mark in and out, the four check boxes, the track keys, bank and the two clip lists. The
// main window's panel and every rack machine's panel are wired by this one function; each caller
// says how a call reaches its machine and how the keypad is asked for a Goto entry.
#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>

#include "VirtualMachine.h"

class VmPanelView;

// The keypad's answer to the Goto key.
struct GotoAnswer {
  bool asked = false;                // false: no keypad was shown and nothing is sent
  std::optional<std::string> entry;  // the entry when the keypad was left with OK
};

struct VmPanelCalls {
  std::function<void(std::function<void(VirtualMachine&)>)> post;  // runs a call in the machine
  std::function<GotoAnswer()> askGoto;
};

// `context` owns the connections: they end with it.
void WireVmPanelControls(VmPanelView& panel, QObject* context, VmPanelCalls calls);
