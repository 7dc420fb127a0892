// The command server substitute: every request becomes one readable line in the request record
// (and in the VYOSERVER_LOG file). It reaches no machine.
#pragma GCC visibility push(default)
#include "ZQServerDll.h"
#pragma GCC visibility pop

#include <string>

#include "RequestRecord.h"
#include "RequestText.h"

using namespace vyoserver;

namespace {

// CMD-1's low nibble is the number of data bytes that follow CMD-1 and CMD-2.
constexpr uint8_t kDataCountMask = 0x0F;

std::string machineRequest(const char *function, int8_t machine, uint8_t command) {
  return std::string(function) + " machine=" + std::to_string(machine) +
         " command=" + decimalAndHex(command);
}

std::string sonyMessageFields(const uint8_t *message) {
  if (message == nullptr) return " message=(null)";
  return " cmd1=" + decimalAndHex(message[0]) + " cmd2=" + decimalAndHex(message[1]) +
         " data=" + hexBytes(message + 2, message[0] & kDataCountMask);
}

}  // namespace

void ZQServer_McnCommand(int8_t machine, uint8_t command) {
  requestRecord().add(machineRequest("ZQServer_McnCommand", machine, command));
}

void ZQServer_McnCommandWithByteData(int8_t machine, uint8_t command, uint8_t data) {
  requestRecord().add(machineRequest("ZQServer_McnCommandWithByteData", machine, command) +
                      " data=" + decimalAndHex(data));
}

void ZQServer_McnCommandWithTCFrms(int8_t machine, uint8_t command, int32_t frames) {
  requestRecord().add(machineRequest("ZQServer_McnCommandWithTCFrms", machine, command) +
                      " frames=" + std::to_string(frames));
}

void ZQServer_McnCommandWithTC(int8_t machine, uint8_t command, const char *time) {
  requestRecord().add(machineRequest("ZQServer_McnCommandWithTC", machine, command) +
                      " time=" + quotedText(time));
}

void ZQServer_McnTrackArming(int8_t machine, const uint8_t *arming, uint8_t count) {
  requestRecord().add("ZQServer_McnTrackArming machine=" + std::to_string(machine) +
                      " count=" + std::to_string(count) + " arming=" + hexBytes(arming, count));
}

void ZQServer_LogicalTrackArming(const uint8_t *arming, uint8_t count) {
  requestRecord().add("ZQServer_LogicalTrackArming count=" + std::to_string(count) +
                      " arming=" + hexBytes(arming, count));
}

void ZQServer_MacroCommand(uint8_t macro, uint8_t zero) {
  requestRecord().add("ZQServer_MacroCommand macro=" + decimalAndHex(macro) +
                      " zero=" + std::to_string(zero));
}

void ZQServer_SonyCommand(int8_t machine, const uint8_t *message) {
  requestRecord().add("ZQServer_SonyCommand machine=" + std::to_string(machine) +
                      sonyMessageFields(message));
}
