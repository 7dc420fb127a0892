/*
 * VyoServer: carries commands to the machines of a synchroniser system (libVyoServer.so).
 *
 * Every call is a request; no result is returned. Machine numbers: -1 generator, 0 reader,
 * 1.. machines A, B, C and so on. Pointers are only read during the call; the caller owns them.
 *
 * This build is a substitute that reaches no machine: it turns each request into one readable
 * line (function, machine, command code in decimal and hex, data), appends it to the file named
 * by the environment variable VYOSERVER_LOG when that is set, and keeps the newest 4096 lines in
 * memory for tests (read back through ZQServerRecord.h, a test-only header of the source tree,
 * not installed). Null pointers are logged as "(null)". Every function may be called from
 * any thread.
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
/* time: zero-terminated "00:00:00:00" (the substitute logs at most 64 characters of it). */
void ZQServer_McnCommandWithTC(int8_t machine, uint8_t command, const char *time);
/* arming: count bytes (7 per machine, 12 logical). */
void ZQServer_McnTrackArming(int8_t machine, const uint8_t *arming, uint8_t count);
void ZQServer_LogicalTrackArming(const uint8_t *arming, uint8_t count);
/* zero: always 0. */
void ZQServer_MacroCommand(uint8_t macro, uint8_t zero);
/* message: CMD-1, CMD-2, then the data bytes of a Sony 9-pin message (CMD-1's low nibble of
   them; the checksum is not needed). */
void ZQServer_SonyCommand(int8_t machine, const uint8_t *message);

#ifdef __cplusplus
}
#endif

#endif
