/*
 * VyoTCode: time-code arithmetic shared by the family's programs (libVyoTCode.so).
 *
 * Conventions
 *   - Standard codes: 0 EBU (25 fps), 1 SMPTE non-drop (30), 2 24P (24), 3 SMPTE drop-frame
 * (29.97). Any other code is treated as 0 (EBU).
 *   - A frame count is the number of frames since 00:00:00:00 within one day. Day lengths:
 *     2160000 (0), 2592000 (1), 2073600 (2), 2589408 (3).
 *   - Drop-frame labels 00 and 01 at second 00 of each minute not divisible by ten do not exist;
 *     text or Sony bytes naming one stand for MM:00:02 (the next label that exists).
 *   - Texts are length-prefixed: one length byte, then the characters. Output buffers hold 256
 *     bytes and are owned by the caller; outputs are "HH:MM:SS:FF" with ':' separators in every
 *     standard (length 11), followed by a zero byte.
 *   - Accepted input text: "HH:MM:SS:FF" whose last separator may be ':', ';', '.' or ',', with
 *     optional blanks (space, tab, CR, LF) around it. Nothing past the length byte is read.
 *   - Sony time bytes are four BCD bytes in the order frames, seconds, minutes, hours, starting at
 *     buffer[index]. Reading masks the flag bits (frames 3F, seconds 7F, minutes 7F, hours 3F).
 *   - Out-of-day frame counts are reduced modulo the day's length to a non-negative value
 *     (-1 is the day's last frame); 64-bit intermediates, so no 32-bit input overflows.
 *   - Bad input has a defined answer, never an error: malformed text, a BCD nibble above 9 or a
 *     field out of range (hours 0-23, minutes and seconds 0-59, frames below the rate) gives
 *     frame count 0; a null pointer or negative index makes a reader return 0 and a writer
 *     write nothing.
 *   - No state: every function may be called from any thread.
 */
#ifndef ZQ_TIMECODE_DLL_H
#define ZQ_TIMECODE_DLL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Frame count of a time-code text "HH:MM:SS:FF" (last separator may be ':', ';', '.' or ','). */
int32_t str2frms(const uint8_t *text, uint8_t standard);
/* Writes "HH:MM:SS:FF" (':' separators in every standard) for frames into out (256 bytes). */
void frms2str(uint8_t *out, int32_t frames, uint8_t standard);
/* Writes the time code one frame after / before the input text into out, wrapping at midnight.
   Malformed input counts as 00:00:00:00. */
void inctcstr(uint8_t *out, const uint8_t *in, uint8_t standard);
void dectcstr(uint8_t *out, const uint8_t *in, uint8_t standard);
/* (a + b) and (a - b), taken modulo the day's length. */
int32_t addfrms(int32_t a, int32_t b, uint8_t standard);
int32_t subfrms(int32_t a, int32_t b, uint8_t standard);
/* Frame count of the four Sony time bytes at buffer[index..index+3]; flag bits are ignored.
   index is 2 for a message whose data follows CMD-1 and CMD-2. */
int32_t Sony2frms(const uint8_t *buffer, int32_t index, uint8_t standard);
/* Writes the four Sony time bytes of frames at buffer[index..index+3]; for standard 3 bit 6 of
   the frames byte (drop-frame) is set. */
void frms2Sony(int32_t frames, uint8_t standard, int32_t index, uint8_t *buffer);
/* Writes the four Sony time bytes of a time-code text at buffer[index..index+3], as frms2Sony
   of str2frms of the text. */
void string2p2(const uint8_t *text, uint8_t *buffer, int32_t index, uint8_t standard);
/* Whole frames per second of the standard: 25, 30, 24, 30. */
int32_t frmspersec(uint8_t standard);
/* Hours, minutes, seconds and frames packed as 0xHHMMSSFF (one byte each, binary, not BCD):
   01:02:03:04 gives 0x01020304. */
uint32_t frms2hmsfCard(int32_t frames, uint8_t standard);

#ifdef __cplusplus
}
#endif

#endif
