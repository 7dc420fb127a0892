// Texts of the system error codes.
#include <cstdio>
#include <cstring>

#include "VyoModel.h"
#include "ZMModel.h"

namespace {

constexpr const char* kErrorTexts[] = {
    "System OK",          "Not Record Enabled", "Record Inhibit",
    "System Not Locked",  "Key Lock On",        "OUT before IN",
    "Local or no Comms",  "Macros Protected",   "No Track Mapped",
    "Master/Rec Enabled", "Locate to Start",    "TC Jump or Pre-Rol",
    "Commands Disabled",  "Video Not Stopped",  "Alg & Vid Enable!",
    "Not all in Record",  "Crash Enabled",      "No Tape",
    "Macro Not Fitted",   "No Macro Defined",   "Not in Record",
    "No Tracks Armed",    "No EEPROM Access",   "Backup Machine",
    "Rec Out Disabled",   "System in local",    "Command not Fitted",
    "Master not in Play", "No Record Rehearse", "Mcn Record Asigned",
    "! Use after Shift ", "! Number Lock On !", "! Backup not Armed",
    "!Backup Local-Tape", "Disabled in Record", "Fit 24C08 EEPROM  ",
    " Reset to Factory ", "  Reset to User   ", "Port Not Available",
    "! Shift / Password", "! QZ Systems Only!", "Set To Follow Mcn!",
    " ! Comms Error !  ", "! Code Follow On !", "! Set TX-9 Port ! ",
    "! Use After Store!", "! TX-9 Port       ",
};
constexpr unsigned kErrorCount = sizeof kErrorTexts / sizeof kErrorTexts[0];
static_assert(kErrorCount == 47);

// The text of the current error code, zero-terminated, into out (at least 20 bytes).
int CurrentErrorText(char* out) {
  const uint8_t code = vyo::Load(vyo::Sys().Error);
  if (code < kErrorCount) {
    std::strcpy(out, kErrorTexts[code]);
    return int(std::strlen(out));
  }
  return std::snprintf(out, 20, "Unknown Error : %u", unsigned{code});
}

}  // namespace

extern "C" {

void getZQ_ErrorString(uint8_t* out) {
  if (out == nullptr) return;
  out[0] = uint8_t(CurrentErrorText(reinterpret_cast<char*>(out + 1)));
}

void getZQ_ErrorPChar(char* out) {
  if (out != nullptr) CurrentErrorText(out);
}

}  // extern "C"
