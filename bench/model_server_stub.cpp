// Command server calls that do nothing: linked into a benchmark program, they take the place of
// the library's (the program's definitions come first), so the figures show the model's own cost.
#include "ZQServerDll.h"

extern "C" {
void ZQServer_McnCommand(int8_t, uint8_t) {}
void ZQServer_McnCommandWithByteData(int8_t, uint8_t, uint8_t) {}
void ZQServer_McnCommandWithTCFrms(int8_t, uint8_t, int32_t) {}
void ZQServer_McnCommandWithTC(int8_t, uint8_t, const char*) {}
void ZQServer_McnTrackArming(int8_t, const uint8_t*, uint8_t) {}
void ZQServer_LogicalTrackArming(const uint8_t*, uint8_t) {}
void ZQServer_MacroCommand(uint8_t, uint8_t) {}
void ZQServer_SonyCommand(int8_t, const uint8_t*) {}
}
