/*
 * VyoTCode: time-code arithmetic shared by the family's programs (libVyoTCode.so).
 *
 * Conventions
 *   - Standard codes: 0 EBU (25 fps), 1 SMPTE non-drop (30), 2 24P (24), 3 SMPTE drop-frame (29.97).
 *   - A frame count is the number of frames since 00:00:00:00 within one day.
 *   - Texts are length-prefixed: one length byte, then the characters. Output buffers hold 256 bytes.
 *   - Sony time bytes are four BCD bytes in the order frames, seconds, minutes, hours, starting at
 *     buffer[index].
 *   - Out-of-day frame counts are reduced modulo the day's length to a non-negative value.
 *   - Malformed text and out-of-range fields give 0; nothing reads past a text's length byte.
 */
#ifndef ZQ_TIMECODE_DLL_H
#define ZQ_TIMECODE_DLL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Frame count of a time-code text "HH:MM:SS:FF" (last separator may be ':', ';', '.' or ','). */
int32_t str2frms(const uint8_t *text, uint8_t standard);
/* Writes "HH:MM:SS:FF" (':' separators in every standard) for frames into out. */
void frms2str(uint8_t *out, int32_t frames, uint8_t standard);
/* Writes the time code one frame after / before the input text into out. */
void inctcstr(uint8_t *out, const uint8_t *in, uint8_t standard);
void dectcstr(uint8_t *out, const uint8_t *in, uint8_t standard);
/* (a + b) and (a - b), taken modulo the day's length. */
int32_t addfrms(int32_t a, int32_t b, uint8_t standard);
int32_t subfrms(int32_t a, int32_t b, uint8_t standard);
/* Frame count of the four Sony time bytes at buffer[index..index+3]; flag bits are ignored. */
int32_t Sony2frms(const uint8_t *buffer, int32_t index, uint8_t standard);
/* Writes the four Sony time bytes of frames at buffer[index..index+3] (drop-frame bit for 3). */
void frms2Sony(int32_t frames, uint8_t standard, int32_t index, uint8_t *buffer);
/* Writes the four Sony time bytes of a time-code text at buffer[index..index+3]. */
void string2p2(const uint8_t *text, uint8_t *buffer, int32_t index, uint8_t standard);
/* Whole frames per second of the standard: 25, 30, 24, 30. */
int32_t frmspersec(uint8_t standard);
/* Hours, minutes, seconds and frames packed as 0xHHMMSSFF (one byte each, binary). */
uint32_t frms2hmsfCard(int32_t frames, uint8_t standard);

#ifdef __cplusplus
}
#endif

#endif
