/*
 * VyoModel: the shared status model of a multi-machine synchroniser system (libVyoModel.so).
 *
 * One 16316-byte block of POSIX shared memory, "/SharedZMModel", holds one record per machine,
 * a system part, ADR loops and the current loop. Every process that loads the library maps the
 * same block when the library is loaded and unmaps it when it is unloaded; all programs of the
 * family therefore read and write the same state. The block is also the format of the files of
 * savemodel/loadmodel, byte for byte (little-endian).
 *
 * Loading
 *   - The block is created zero-filled with mode 0600 when it does not exist yet.
 *   - Each attaching process sets ChangeCursor to 1 and NoComms to 1 for every machine.
 *   - If the process already maps the block (a second copy of the library), the text
 *     "Attempting to connect to model more than once" is written to stderr and loading goes on.
 *   - The block is private to its user. A block under the name that belongs to another user, is
 *     not a shared memory object, or is smaller than the image (but not empty) is refused, with a
 *     line "VyoModel: " and the reason (owner uid and mode) on stderr, and loading fails as below.
 *     A block of this user that group or others may use is set to mode 0600 first.
 *   - If the block cannot be created or mapped, the text "Error creating memory mapped file" is
 *     written to stderr and loading fails: the process ends with exit status 127, as it does when
 *     the dynamic loader cannot load a library.
 *   - Test and diagnostic aid: the environment variable VYOMODEL_SHM_NAME, read once at load time,
 *     replaces the name "/SharedZMModel" (for example "/VyoModelTest1"), so that tests never touch
 *     the model of the programs running on the machine.
 *
 * Conventions
 *   - Plain C calling convention; no object crosses the boundary; no function allocates, blocks,
 *     or makes a system call except savemodel and loadmodel.
 *   - Machine numbers are int8_t: -1 the generator, 0 the reader, 1 to 35 the machines A, B, C...
 *     Bytes are uint8_t, 16-bit values uint16_t, frame counts int32_t, booleans uint8_t 0 or 1.
 *   - Setters store only a changed value and return 1 when they stored, 0 otherwise; change flags
 *     are raised only when a value is stored (exceptions are noted per function). getZQ_LastChange
 *     hands the flags out one at a time.
 *   - Length-prefixed string: one length byte, then up to 255 characters. A function that returns
 *     one takes the caller's buffer of 256 bytes as its extra last argument and writes it there.
 *   - Names (IDName, Alias) hold at most 6 characters; longer names are cut to 6.
 *   - Block accessors take the ADDRESS OF THE CALLER'S BUFFER POINTER (uint8_t *const *buffer),
 *     then a source index, a destination index and a count, all bytes: count bytes are copied one
 *     at a time from source[source index + i] to destination[destination index + i]. For a setter
 *     the caller's buffer is the source and the model's block the destination; for a getter the
 *     reverse. Indices into the caller's buffer wrap at 256. The caller's pointer is not changed.
 *     Exception: getzq_loopin and getzq_loopout take the buffer's address itself.
 *   - Bad arguments: a machine number outside -1..35, an index outside its block, a block copy
 *     that would run past the end of the named block, or a null pointer: getters return 0 (string
 *     getters write an empty string, block getters copy nothing), setters store nothing, raise no
 *     flag and return 0. No call with bad arguments touches the shared block.
 *   - Concurrency: no locks. Each field of 1, 2 or 4 bytes is read and written in one access; a
 *     status byte with its derived flags, a block copy and the master-position update are not
 *     atomic with respect to other processes. ZQ_ParseSony keeps per-process state and must not
 *     be entered by two threads of one process at once.
 */
#ifndef VYO_MODEL_H
#define VYO_MODEL_H

#include <stdint.h>

#if defined(__GNUC__)
#define VYOMODEL_API __attribute__((visibility("default")))
#else
#define VYOMODEL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Machine values: getters take (m); setters take (m, value) and return 1 when stored. ---- */

/* Transport state code, 1..16 select a row of the Sony status table. Flag 1. */
VYOMODEL_API uint8_t getZQ_McnTally(int8_t m);
VYOMODEL_API uint8_t setZQ_McnTally(int8_t m, uint8_t value);
/* Status bytes 1..3 are decoded into InRecord, IsArmed, IsLocked, IsLocating, IsSlow, TapeStatus,
   NoComms, InPlay, IsRecordEnabled, IsChasing. Flag 1. */
VYOMODEL_API uint8_t getZQ_McnStatus1(int8_t m);
VYOMODEL_API uint8_t setZQ_McnStatus1(int8_t m, uint8_t value);
VYOMODEL_API uint8_t getZQ_McnStatus2(int8_t m);
VYOMODEL_API uint8_t setZQ_McnStatus2(int8_t m, uint8_t value);
VYOMODEL_API uint8_t getZQ_McnStatus3(int8_t m);
VYOMODEL_API uint8_t setZQ_McnStatus3(int8_t m, uint8_t value);
/* Status byte 4: Standard := bits 2 and 3. Flag 3. */
VYOMODEL_API uint8_t getZQ_McnStatus4(int8_t m);
VYOMODEL_API uint8_t setZQ_McnStatus4(int8_t m, uint8_t value);
/* Position in frames; the setter also sets ZFrame. Flag 1. For machine -1 the setter returns 1
   also when the value is unchanged. */
VYOMODEL_API int32_t getZQ_McnPosition(int8_t m);
VYOMODEL_API uint8_t setZQ_McnPosition(int8_t m, int32_t frames);
/* Offset in frames. Flag 2 and the system's OffsetChange flag. */
VYOMODEL_API int32_t getZQ_McnOffset(int8_t m);
VYOMODEL_API uint8_t setZQ_McnOffset(int8_t m, int32_t frames);
VYOMODEL_API uint8_t getZQ_McnSubFrameOffset(int8_t m); /* flag 2 */
VYOMODEL_API uint8_t setZQ_McnSubFrameOffset(int8_t m, uint8_t value);
VYOMODEL_API int32_t getZQ_McnSyncPoint(int8_t m); /* no flag */
VYOMODEL_API uint8_t setZQ_McnSyncPoint(int8_t m, int32_t frames);
VYOMODEL_API int32_t getZQ_McnRecInPoint(int8_t m); /* flag 4 */
VYOMODEL_API uint8_t setZQ_McnRecInPoint(int8_t m, int32_t frames);
VYOMODEL_API int32_t getZQ_McnRecOutPoint(int8_t m); /* flag 4 */
VYOMODEL_API uint8_t setZQ_McnRecOutPoint(int8_t m, int32_t frames);
VYOMODEL_API uint8_t getZQ_McnSyncError(int8_t m); /* flag 1 */
VYOMODEL_API uint8_t setZQ_McnSyncError(int8_t m, uint8_t value);
/* Sony 9-pin device-type code. Flag 3; a new value also empties the Alias. */
VYOMODEL_API uint16_t getZQ_McnSonyID(int8_t m);
VYOMODEL_API uint8_t setZQ_McnSonyID(int8_t m, uint16_t id);
VYOMODEL_API uint8_t getZQ_McnRecordTracks(int8_t m); /* flag 3 */
VYOMODEL_API uint8_t setZQ_McnRecordTracks(int8_t m, uint8_t value);
/* Track-arming byte i, 0..14. Flag 2. */
VYOMODEL_API uint8_t getZQ_McnTrackArming(int8_t m, uint8_t i);
VYOMODEL_API uint8_t setZQ_McnTrackArming(int8_t m, uint8_t i, uint8_t value);
/* Bit 3 (IsChasing) / bit 0 (IsRecordEnabled) of Status3, set through setZQ_McnStatus3. */
VYOMODEL_API uint8_t getZQ_McnIsChasing(int8_t m);
VYOMODEL_API uint8_t setZQ_McnIsChasing(int8_t m, uint8_t on);
VYOMODEL_API uint8_t getZQ_McnIsRecordEnabled(int8_t m);
VYOMODEL_API uint8_t setZQ_McnIsRecordEnabled(int8_t m, uint8_t on);
/* setZQ_McnDataOK sets DataOK to 1; returns 1 when it was not 1 before. */
VYOMODEL_API uint8_t getZQ_McnDataOK(int8_t m);
VYOMODEL_API uint8_t setZQ_McnDataOK(int8_t m);

/* ---- Machine values derived from the status bytes (read only). ---- */

VYOMODEL_API uint8_t getZQ_McnStandard(int8_t m); /* 0 EBU, 1 SMPTE, 2 24P, 3 drop-frame */
VYOMODEL_API uint8_t getZQ_McnInPlay(int8_t m);
VYOMODEL_API uint8_t getZQ_McnIsSlow(int8_t m);
VYOMODEL_API uint8_t getZQ_McnIsLocked(int8_t m);
VYOMODEL_API uint8_t getZQ_McnIsLocating(int8_t m);
VYOMODEL_API uint8_t getZQ_McnInRecord(int8_t m);
VYOMODEL_API uint8_t getZQ_McnIsArmed(int8_t m);
VYOMODEL_API uint8_t getZQ_McnNoComms(int8_t m);
VYOMODEL_API uint8_t getZQ_McnTapeStatus(int8_t m); /* 0..7 */
VYOMODEL_API uint8_t getZQ_McnZFrame(int8_t m);
/* Position packed by the time-code library's frms2hmsfCard with the machine's Standard. */
VYOMODEL_API uint32_t getZQ_McnPositionHMSF(int8_t m);
VYOMODEL_API uint8_t getZQ_McnInLockedPlay(int8_t m); /* IsLocked and InPlay */
/* 3 in record, else 2 armed, else 1 record enabled, else 0. */
VYOMODEL_API uint8_t getZQ_McnRecordState(int8_t m);
/* 1 when -1 <= m <= MaxMachine. */
VYOMODEL_API uint8_t getZQ_McnIsInSystem(int8_t m);

/* ---- Machine names. ---- */

/* IDName from a length-prefixed name; flag 3 when it changed. */
VYOMODEL_API uint8_t setZQ_McnIDName(int8_t m, const uint8_t *name);
/* IDName as a length-prefixed string into out (256 bytes). */
VYOMODEL_API void getZQ_McnIDName(int8_t m, uint8_t *out);
/* IDName / Alias from a zero-terminated text; no flag. */
VYOMODEL_API uint8_t setZQ_McnIDNamePChar(int8_t m, const char *name);
VYOMODEL_API uint8_t setZQ_McnAlias(int8_t m, const char *alias);
/* Alias when it has at least 2 characters, else IDName, zero-terminated into out (7 bytes). */
VYOMODEL_API void getZQ_McnIDNamePChar(int8_t m, char *out);
/* "Generator", "Reader", or the machine's letter, ": " and IDName ("A: DA88"), length-prefixed
   into out (256 bytes). */
VYOMODEL_API void getZQ_C_McnName(int8_t m, uint8_t *out);

/* ---- Machine blocks: (m, &buffer, source index, destination index, count); no result. ---- */

/* TrackArming, 15 bytes. The setter raises flag 2 on every call. */
VYOMODEL_API void getZQ_McnTrackArmingP(int8_t m, uint8_t *const *buffer, uint8_t src, uint8_t dst,
                                        uint8_t count);
VYOMODEL_API void setZQ_McnTrackArmingP(int8_t m, uint8_t *const *buffer, uint8_t src, uint8_t dst,
                                        uint8_t count);
/* TrackRecord, 15 bytes. The getter copies zeros while the machine is not in record. The setter
   raises flag 2 on every call. */
VYOMODEL_API void getZQ_McnTrackRecordP(int8_t m, uint8_t *const *buffer, uint8_t src, uint8_t dst,
                                        uint8_t count);
VYOMODEL_API void setZQ_McnTrackRecordP(int8_t m, uint8_t *const *buffer, uint8_t src, uint8_t dst,
                                        uint8_t count);
/* IFaceData, 128 bytes. The setter sets IFaceDataLength := dst + count; no flag. */
VYOMODEL_API void getZQ_McnIFaceData(int8_t m, uint8_t *const *buffer, uint8_t src, uint8_t dst,
                                     uint8_t count);
VYOMODEL_API void setZQ_McnIFaceData(int8_t m, uint8_t *const *buffer, uint8_t src, uint8_t dst,
                                     uint8_t count);

/* ---- System values. ---- */

/* Position of machine -1. The setter also moves the master (Master's position := frames plus its
   Offset, unless it is locating) and every other playing machine on by one frame; returns 1. */
VYOMODEL_API int32_t getZQ_MasterPosition(void);
VYOMODEL_API uint8_t setZQ_MasterPosition(int32_t frames);
VYOMODEL_API uint8_t getZQ_ZFrame(void); /* ZFrame of machine -1 */
VYOMODEL_API int8_t getZQ_Master(void);  /* system flag 0 */
VYOMODEL_API uint8_t setZQ_Master(int8_t m);
VYOMODEL_API int8_t getZQ_SelectedMcn(void); /* system flag 1 */
VYOMODEL_API uint8_t setZQ_SelectedMcn(int8_t m);
VYOMODEL_API uint8_t getZQ_Error(void); /* no flag */
VYOMODEL_API uint8_t setZQ_Error(uint8_t code);
/* Decoded into SystemLocked, SystemInPlay, SystemInLockedPlay, SystemInRecord, SystemIsLocating
   and the Standard of the master machine (bits 0 and 1). No flag. */
VYOMODEL_API uint8_t getZQ_SystemStatus(void);
VYOMODEL_API uint8_t setZQ_SystemStatus(uint8_t value);
/* Machine number x 8 + bank (0..7) addressed by the arming commands. System flag 2.
   In ZQ_ParseSony, EDIT PRESET SENSE reads machine RecordBank >> 3 (unsigned); the arming toggle
   and state (Cx 58/59) address that machine (0: the logical bytes) and its arming byte bank + 1,
   except that bank 6 is byte 0 (so bank 7 is byte 8); EDIT PRESET addresses machine
   (RecordBank read as int8_t) / 8, truncating, 0 meaning the logical bytes. */
VYOMODEL_API uint8_t getZQ_RecordBank(void);
VYOMODEL_API void setZQ_RecordBank(uint8_t value);
VYOMODEL_API uint8_t getZQ_Editmode(void); /* the setter always stores; no flag */
VYOMODEL_API void setZQ_Editmode(uint8_t value);
VYOMODEL_API uint8_t getZQ_WindMax(void);
VYOMODEL_API uint8_t getZQ_macroflag1(void);
VYOMODEL_API uint8_t getZQ_macroflag2(void);
VYOMODEL_API void setZQ_WindMax1(uint8_t windmax); /* always stores WindMax only */
VYOMODEL_API void setZQ_WindMax(uint8_t windmax, uint8_t flag1,
                                uint8_t flag2); /* always stores all three */
/* Configuration values: system flag 3 when stored. */
VYOMODEL_API uint8_t getZQ_VMajor(void);
VYOMODEL_API void setZQ_VMajor(uint8_t value);
VYOMODEL_API uint8_t getZQ_VMinor(void);
VYOMODEL_API void setZQ_VMinor(uint8_t value);
VYOMODEL_API uint8_t getZQ_SystemType(void);
VYOMODEL_API void setZQ_SystemType(uint8_t value);
/* Highest machine number in use, -1..35. The setter always returns 0. */
VYOMODEL_API int8_t getZQ_MaxMachine(void);
VYOMODEL_API uint8_t setZQ_MaxMachine(int8_t m);
VYOMODEL_API uint8_t getZQ_UnitDataSize(void);
VYOMODEL_API void setZQ_UnitDataSize(uint8_t value);
VYOMODEL_API uint8_t getZQ_IFaceDataSize(void);
VYOMODEL_API void setZQ_IFaceDataSize(uint8_t value);
VYOMODEL_API uint8_t getZQ_LogicalDataSize(void);
VYOMODEL_API void setZQ_LogicalDataSize(uint8_t value);
VYOMODEL_API uint8_t getZQ_MacroDataSize(void);
VYOMODEL_API void setZQ_MacroDataSize(uint8_t value);
/* A value that is not a multiple of 8 is first multiplied by 8 (modulo 256). System flag 3. */
VYOMODEL_API uint8_t getZQ_RdyKeyLength(void);
VYOMODEL_API uint8_t setZQ_RdyKeyLength(uint8_t value);
/* UnitData byte 3, written directly; no flag. */
VYOMODEL_API uint8_t getZQ_SystemRdyLength(void);
VYOMODEL_API void setZQ_SystemRdyLength(uint8_t value);
VYOMODEL_API uint8_t getZQ_ReadyKeys(void); /* UnitData byte 29 */
VYOMODEL_API uint8_t getZQ_SystemLocked(void);
VYOMODEL_API uint8_t getZQ_SystemInPlay(void);
VYOMODEL_API uint8_t getZQ_SystemInLockedPlay(void);
VYOMODEL_API uint8_t getZQ_SystemInRecord(void);
VYOMODEL_API uint8_t getZQ_SystemIsLocating(void);
VYOMODEL_API uint8_t getZQ_SystemLocal(void); /* bit 3 of SystemStatus */
/* Returns the OffsetChange flag (raised by any machine's offset change) and clears it. */
VYOMODEL_API uint8_t getZQ_OffsetChange(void);

/* Text of the current Error code: length-prefixed into out (256 bytes) / zero-terminated into
   out (20 bytes). Codes above 46 give "Unknown Error : " and the code in decimal. */
VYOMODEL_API void getZQ_ErrorString(uint8_t *out);
VYOMODEL_API void getZQ_ErrorPChar(char *out);

/* ---- System blocks: (&buffer, source index, destination index, count); no result. ---- */

/* UnitData, 128 bytes. Setter: UnitDataLength := dst + count; system flag 3 when dst is 24. */
VYOMODEL_API void getZQ_UnitData(uint8_t *const *buffer, uint8_t src, uint8_t dst, uint8_t count);
VYOMODEL_API void setZQ_UnitData(uint8_t *const *buffer, uint8_t src, uint8_t dst, uint8_t count);
/* LogicalReady / LogicalRecord, 12 bytes. Setter: system flag 5 := whether any byte changed. */
VYOMODEL_API void getZQ_LogicalReady(uint8_t *const *buffer, uint8_t src, uint8_t dst,
                                     uint8_t count);
VYOMODEL_API void setZQ_LogicalReady(uint8_t *const *buffer, uint8_t src, uint8_t dst,
                                     uint8_t count);
VYOMODEL_API void getZQ_LogicalRecord(uint8_t *const *buffer, uint8_t src, uint8_t dst,
                                      uint8_t count);
VYOMODEL_API void setZQ_LogicalRecord(uint8_t *const *buffer, uint8_t src, uint8_t dst,
                                      uint8_t count);
/* TrackMap, 192 bytes. Setter: TrackMapLength := dst + count; system flag 4 on every call. */
VYOMODEL_API void getZQ_TrackMap(uint8_t *const *buffer, uint8_t src, uint8_t dst, uint8_t count);
VYOMODEL_API void setZQ_TrackMap(uint8_t *const *buffer, uint8_t src, uint8_t dst, uint8_t count);

/* ---- Sony 9-pin front end. ---- */

/* Handles one Sony message (CMD-1, CMD-2, data; a checksum is not examined; data bytes past the
   count in CMD-1 are not read, a command that needs them takes them as 0) addressed to machine m:
   transport, preset and arming commands become command-server requests, sense requests are
   answered from the model. Writes the reply with its checksum into reply (at least 18 bytes); its
   length is (reply[0] & 15) + 3. A sense request running past the end of its block, an arming
   toggle outside the bytes sent, a bad machine number or a null message get NAK 11 12 01; a null
   reply does nothing. */
VYOMODEL_API void ZQ_ParseSony(const uint8_t *message, uint8_t *reply, int8_t m);

/* ---- Persistence: file names are length-prefixed strings. ---- */

/* Writes the whole image (16316 bytes) to a temporary file in the same folder, flushes it and
   renames it over the file (keeping that file's mode; a symbolic link is followed and kept), so
   the previous file survives an interrupted save. The temporary has no name until it is complete
   (where the file system allows), so a killed save leaves nothing behind; elsewhere it is
   "<name>.tmp.<pid>.<n>", and those of processes that no longer run are removed by the next save.
   Returns 1 on success, 0 on failure with errno set (the previous file is then untouched). */
VYOMODEL_API uint8_t savemodel(const uint8_t *name);
/* Replaces the whole image with the file's 16316 bytes. Returns 0 with errno set and leaves the
   model untouched when the file is missing, not a regular file (EINVAL; a FIFO is not waited on),
   not exactly 16316 bytes long (EINVAL) or cannot be read. */
VYOMODEL_API uint8_t loadmodel(const uint8_t *name);

/* ---- Change tracking. ---- */

/* Hands out one raised change flag per call and clears it: 0 nothing changed; 8 x (m + 1) + n
   (modulo 256) for flag n (1..7) of machine m (so 1..7 for the generator); 248 + i for system
   flag i (0..6). Codes of machines 30 and above overlap other codes (the code is one byte). */
VYOMODEL_API uint8_t getZQ_LastChange(void);
VYOMODEL_API void setZQ_LastChange(uint8_t value);
/* Returns InternalChange and clears it. */
VYOMODEL_API uint8_t getZQ_InternalChange(void);
VYOMODEL_API void setZQ_InternalChange(uint8_t value);

/* ---- Loops (buffers as block accessors: the address of the buffer pointer). ---- */

/* count bytes from buffer[src..] into ADR loop entry n (14 bytes) from its byte 0; a copy longer
   than 14 bytes continues into the following entries. System flag 6 when a byte changed. */
VYOMODEL_API void setZQ_ADRLoop(uint8_t *const *buffer, uint8_t src, uint8_t n, uint8_t count);
/* count bytes of entry n from its byte src into buffer[0..]. */
VYOMODEL_API void getZQ_ADRLoop(uint8_t *const *buffer, uint8_t src, uint8_t n, uint8_t count);
/* n := buffer[0]; n above the highest entry written: buffer[1] := 0; else buffer[2..15] := entry n
   and buffer[1] := n + 1. */
VYOMODEL_API void get_loopdata(uint8_t *const *buffer);
/* The 13 current-loop bytes; the setter raises system flag 6 when a byte changed. */
VYOMODEL_API void setZQ_currLoop(uint8_t *const *buffer);
VYOMODEL_API void getZQ_currLoop(uint8_t *const *buffer);
/* Current-loop bytes 6..9 (loop number) from / to buffer[0..3]; system flag 6 as above. */
VYOMODEL_API void setZQ_LoopNumb(uint8_t *const *buffer);
VYOMODEL_API void getZQ_LoopNumb(uint8_t *const *buffer);
VYOMODEL_API uint8_t getzq_loopcmd(void); /* current-loop byte 11 */
/* buffer (4 bytes, its address itself) := current-loop bytes 2, 1, 0, then 0 (loop in) or
   bytes 5, 4, 3, then 0 (loop out). */
VYOMODEL_API void getzq_loopin(uint8_t *buffer);
VYOMODEL_API void getzq_loopout(uint8_t *buffer);
/* buffer[0..7] := TrackArming bytes 0..7 of machine 24; buffer[8] := its Standard. */
VYOMODEL_API void get_streamerdata(uint8_t *const *buffer);

/* ---- Stop counter. ---- */

VYOMODEL_API void ResetStopCounter(void);
/* Adds 1 (16-bit, wrapping); returns 1 exactly when the new value is 100. */
VYOMODEL_API uint8_t IncStopCounter(void);

#ifdef __cplusplus
}
#endif

#endif
