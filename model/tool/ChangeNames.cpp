#include "ChangeNames.h"

namespace {

// What raises each flag (machine flags 1..7, system flags 0..6).
const char* const kMachineFlagNames[] = {"",
                                         "tally/status/position",
                                         "offset/arming",
                                         "identity/standard",
                                         "record points",
                                         "flag 5",
                                         "flag 6",
                                         "flag 7"};
const char* const kSystemFlagNames[] = {"master",        "selected machine", "record bank",
                                        "configuration", "track map",        "logical tracks",
                                        "loops"};
constexpr int kSystemCodes = 248;
constexpr int kSystemFlagCount = sizeof kSystemFlagNames / sizeof kSystemFlagNames[0];

std::string MachineText(int m) {
  if (m == -1) return "generator (-1)";
  if (m == 0) return "reader (0)";
  return "machine " + std::string(1, char(64 + m)) + " (" + std::to_string(m) + ")";
}

}  // namespace

// Codes 248..254 also stand for machine 30's flags 0..6 (the code is a byte); the system reading
// wins there, as the tracker's own documentation has it. 255 is only machine 30's flag 7.
std::string ChangeCodeText(uint8_t code) {
  if (code == 0) return "no change";
  if (code >= kSystemCodes && code - kSystemCodes < kSystemFlagCount) {
    return std::string("system: ") + kSystemFlagNames[code - kSystemCodes];
  }
  const int flag = code % 8;
  // No machine has a flag 0, so 8, 16, ... 240 are never handed out.
  if (flag == 0) return "code " + std::to_string(code);
  return MachineText(code / 8 - 1) + ": " + kMachineFlagNames[flag];
}
