#include "ChangeNames.h"

namespace {

// What raises each flag (machine flags 1..7, system flags 0..6).
const char* const kMachineFlagNames[] = {
    "", "tally/status/position", "offset/arming", "identity/standard", "record points",
    "flag 5", "flag 6", "flag 7"};
const char* const kSystemFlagNames[] = {"master",      "selected machine", "record bank",
                                        "configuration", "track map",      "logical tracks",
                                        "loops"};

std::string MachineText(int m) {
  if (m == -1) return "generator (-1)";
  if (m == 0) return "reader (0)";
  return "machine " + std::string(1, char(64 + m)) + " (" + std::to_string(m) + ")";
}

}  // namespace

std::string ChangeCodeText(uint8_t code) {
  if (code == 0) return "no change";
  if (code >= 248) return std::string("system: ") + kSystemFlagNames[code - 248];
  const int m = code / 8 - 1;
  return MachineText(m) + ": " + kMachineFlagNames[code % 8];
}
