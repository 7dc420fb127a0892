/*
 * Reading back the requests made to the command server substitute (libVyoServer.so).
 *
 * NOT part of the server interface (ZQServerDll.h): a real server has no such functions. Tests
 * and demos use them to see which requests a program sent. The substitute keeps the newest 4096
 * request lines in memory, oldest first, one line per call of a ZQServer_ function, in the same
 * form that it appends to the file named by the environment variable VYOSERVER_LOG, e.g.
 *   ZQServer_McnCommandWithByteData machine=1 command=32 (0x20) data=5 (0x05)
 * All three functions are safe to call from any thread.
 */
#ifndef ZQ_SERVER_RECORD_H
#define ZQ_SERVER_RECORD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Number of request lines held (at most 4096: the oldest are dropped first). */
int32_t ZQServerRecord_Count(void);
/* Copies line n (0 = oldest held) into out as a zero-terminated string, cut to fit size bytes.
   Returns the line's full length without the terminator, or -1 when line n is not held.
   With a null out or size <= 0 nothing is copied; the length is still returned. */
int32_t ZQServerRecord_Line(int32_t n, char *out, int32_t size);
/* Forgets every line held (the log file is left as it is). */
void ZQServerRecord_Clear(void);

#ifdef __cplusplus
}
#endif

#endif
