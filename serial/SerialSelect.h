// The logic of the "Select Port" prompt. The window itself belongs to the owner (it is a GUI
// matter); the component asks the owner through a PortPrompt callback when it must open with
// ComNumber 0.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct SerialSelectEntry {
  int number = 0;      // the COM number
  std::string device;  // PortTarget::Describe() of its target
  // "COM<n> (<device>)" and, when known, what --list-ports says of the device: by-id name,
  // driver, USB ids, latency timer.
  std::string text;
};

// What the prompt returns: the chosen COM number (> 0), kPromptCancelled, or kPromptNoEntry when
// OK was pressed on an empty list.
constexpr int kPromptCancelled = 0;
constexpr int kPromptNoEntry = -1;

// Shows the prompt with `entries` (the first one preselected) and returns the user's answer.
using PortPrompt = std::function<int(const std::vector<SerialSelectEntry>& entries)>;

class SerialSelect {
 public:
  // The mapped ports that exist and can be opened now or are in use by another program or port,
  // ascending by number. A port that can be opened is opened and closed again at once.
  static std::vector<SerialSelectEntry> ListPorts();

  // The number an entry's text stands for: the digits after its first three characters
  // ("COM12 (/dev/ttyS11)" -> 12); 0 when there are none.
  static int NumberOf(const std::string& entryText);
};
