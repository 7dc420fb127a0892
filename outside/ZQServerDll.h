/*
 * VyoServer: carries commands to the machines of a synchroniser system (libVyoServer.so).
 *
 * Every call is a request; no result is returned. Machine numbers: -1 generator, 0 reader,
 * 1.. machines A, B, C and so on.
 */
#ifndef ZQ_SERVER_DLL_H
#define ZQ_SERVER_DLL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

void ZQServer_McnCommand(int8_t machine, uint8_t command);
void ZQServer_McnCommandWithByteData(int8_t machine, uint8_t command, uint8_t data);
void ZQServer_McnCommandWithTCFrms(int8_t machine, uint8_t command, int32_t frames);
/* time: zero-terminated "00:00:00:00". */
void ZQServer_McnCommandWithTC(int8_t machine, uint8_t command, const char *time);
void ZQServer_McnTrackArming(int8_t machine, const uint8_t *arming, uint8_t count);
void ZQServer_LogicalTrackArming(const uint8_t *arming, uint8_t count);
void ZQServer_MacroCommand(uint8_t macro, uint8_t zero);
/* message: CMD-1, CMD-2, then the data bytes of a Sony 9-pin message. */
void ZQServer_SonyCommand(int8_t machine, const uint8_t *message);

#ifdef __cplusplus
}
#endif

#endif
