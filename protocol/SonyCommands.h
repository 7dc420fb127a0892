// The 9-pin vocabulary as numbers: command groups (high nibble of CMD-1), the CMD-2 codes of each
// group, and the one checksum routine. Header-only and dependency-free, so that the model library
// can take its byte values from here without linking anything. The names and data layouts of the
// same codes are the table of CommandTable.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sony {

// ---- Groups: the high nibble of CMD-1 ------------------------------------------------------
constexpr uint8_t kSystemControl = 0x0;  // controller -> machine
constexpr uint8_t kSystemReply = 0x1;    // ACK, NAK, device type, version
constexpr uint8_t kTransportControl = 0x2;
constexpr uint8_t kPresetSelect = 0x4;
constexpr uint8_t kSenseRequest = 0x6;
constexpr uint8_t kSenseReply = 0x7;    // time data, status data, edit preset, clip names
constexpr uint8_t kMakerRequest = 0x8;  // this family's own requests
constexpr uint8_t kMakerReply = 0x9;
constexpr uint8_t kAdvancedMedia = 0xA;  // Advanced Media Protocol requests
constexpr uint8_t kExtensionRequest = 0xC;
constexpr uint8_t kExtensionReply = 0xD;

constexpr uint8_t GroupOf(uint8_t cmd1) { return static_cast<uint8_t>(cmd1 >> 4); }
constexpr int DataCountOf(uint8_t cmd1) { return cmd1 & 0x0F; }
// CMD-1 of a message of `group` carrying `count` data bytes (0..15).
constexpr uint8_t Cmd1(uint8_t group, int count) {
  return static_cast<uint8_t>((group << 4) | (count & 0x0F));
}

// ---- 0x: system control ----------------------------------------------------------------------
constexpr uint8_t kDeviceTypeRequest = 0x11;
constexpr uint8_t kVersionRequest = 0xB3;

// ---- 1x: system replies ----------------------------------------------------------------------
constexpr uint8_t kAck = 0x01;          // 10 01
constexpr uint8_t kNak = 0x12;          // 11 12 + reason bits
constexpr uint8_t kDeviceType = 0x11;   // 12 11 / 13 11 / 14 11
constexpr uint8_t kVersionData = 0xB3;  // 12 B3

// NAK reason bits (DATA-1 of 11 12).
constexpr uint8_t kNakUnknownCommand = 0x01;
constexpr uint8_t kNakChecksumError = 0x04;
constexpr uint8_t kNakParityError = 0x10;
constexpr uint8_t kNakBufferOverrun = 0x20;
constexpr uint8_t kNakFramingError = 0x40;
constexpr uint8_t kNakTimeOut = 0x80;

// ---- 2x: transport control -------------------------------------------------------------------
constexpr uint8_t kStop = 0x00;
constexpr uint8_t kPlay = 0x01;
constexpr uint8_t kRecord = 0x02;
constexpr uint8_t kFastFwd = 0x10;
constexpr uint8_t kJogFwd = 0x11;
constexpr uint8_t kVarFwd = 0x12;
constexpr uint8_t kShuttleFwd = 0x13;
constexpr uint8_t kRewind = 0x20;
constexpr uint8_t kJogRev = 0x21;
constexpr uint8_t kVarRev = 0x22;
constexpr uint8_t kShuttleRev = 0x23;
constexpr uint8_t kPreroll = 0x30;
constexpr uint8_t kCueUpWithData = 0x31;
constexpr uint8_t kChaseOn = 0x37;
constexpr uint8_t kPreview = 0x40;
constexpr uint8_t kReview = 0x41;
constexpr uint8_t kAutoEdit = 0x42;
constexpr uint8_t kFullEeOff = 0x60;
constexpr uint8_t kFullEeOn = 0x61;
constexpr uint8_t kEditOff = 0x64;
constexpr uint8_t kEditOn = 0x65;
constexpr uint8_t kClipSelect = 0x82;

// Speed byte of play speed for the jog, variable and shuttle commands.
constexpr uint8_t kPlaySpeedByte = 0x40;

// ---- 4x: preset and select -------------------------------------------------------------------
constexpr uint8_t kTimerPreset = 0x00;
constexpr uint8_t kTimeCodePreset = 0x04;
constexpr uint8_t kInEntry = 0x10;
constexpr uint8_t kOutEntry = 0x11;
constexpr uint8_t kInDataPreset = 0x14;
constexpr uint8_t kOutDataPreset = 0x15;
constexpr uint8_t kEditPreset = 0x30;
constexpr uint8_t kPrerollTimePreset = 0x31;
constexpr uint8_t kTimePreset3C = 0x3C;
constexpr uint8_t kTimePreset78 = 0x78;

// EDIT PRESET byte 1 (and status byte S5).
constexpr uint8_t kPresetA1 = 0x01;
constexpr uint8_t kPresetA2 = 0x02;
constexpr uint8_t kPresetTc = 0x04;
constexpr uint8_t kPresetA4 = 0x08;
constexpr uint8_t kPresetVideo = 0x10;
constexpr uint8_t kPresetAssemble = 0x20;
constexpr uint8_t kPresetInsert = 0x40;
constexpr uint8_t kPresetAudioVideo = 0x1F;  // A1, A2, TC, A4, V
constexpr int kTrackPresetBytes = 12;        // tracks 1..96
constexpr int kEditPresetBytes = 1 + kTrackPresetBytes;

// ---- 6x: sense requests ----------------------------------------------------------------------
constexpr uint8_t kTcGenSense = 0x0A;
constexpr uint8_t kCurrentTimeSense = 0x0C;
constexpr uint8_t kInDataSense = 0x10;
constexpr uint8_t kOutDataSense = 0x11;
constexpr uint8_t kAudioInDataSense = 0x12;
constexpr uint8_t kAudioOutDataSense = 0x13;
constexpr uint8_t kStatusSense = 0x20;
constexpr uint8_t kEditPresetSense = 0x30;
constexpr uint8_t kTimerModeSense = 0x36;
constexpr uint8_t kLsmIdRequest = 0x81;
constexpr uint8_t kFirstClipName = 0x82;
constexpr uint8_t kNextClipName = 0x83;
constexpr uint8_t kClipSense84 = 0x84;
constexpr uint8_t kClipSense85 = 0x85;
constexpr uint8_t kClipName86 = 0x86;
constexpr uint8_t kClipName87 = 0x87;
constexpr uint8_t kClipSense91 = 0x91;
constexpr uint8_t kSetClipIn = 0xA0;
constexpr uint8_t kSetClipOut = 0xA1;
constexpr uint8_t kAddClip = 0xA2;
constexpr uint8_t kClipCommandA3 = 0xA3;
constexpr uint8_t kClipCommandA4 = 0xA4;
constexpr uint8_t kLoadLsmId = 0xA5;

// DATA-1 of CURRENT TIME SENSE: which time is asked for.
constexpr uint8_t kSenseLtc = 0x01;
constexpr uint8_t kSenseVitc = 0x02;
constexpr uint8_t kSenseTimer1 = 0x04;
constexpr uint8_t kSenseTimer2 = 0x08;
constexpr uint8_t kSenseExtended = 0x1E;

// ---- 7x: sense replies -----------------------------------------------------------------------
constexpr uint8_t kTimer1TimeData = 0x00;
constexpr uint8_t kTimer2TimeData = 0x01;
constexpr uint8_t kLtcTimeData = 0x04;
constexpr uint8_t kLtcUserBitsData = 0x05;
constexpr uint8_t kVitcTimeData = 0x06;
constexpr uint8_t kGenTimeData = 0x08;
constexpr uint8_t kNoTimeData = 0x0D;
constexpr uint8_t kInData = 0x10;
constexpr uint8_t kOutData = 0x11;
constexpr uint8_t kAudioInData = 0x12;
constexpr uint8_t kAudioOutData = 0x13;
constexpr uint8_t kTimeData14 = 0x14;
constexpr uint8_t kExtendedTimeData = 0x1E;
constexpr uint8_t kStatusData = 0x20;
constexpr uint8_t kEditPresetData = 0x30;
constexpr uint8_t kTimerModeData = 0x36;
constexpr uint8_t kLsmIdData = 0x81;
constexpr uint8_t kClipNameData = 0x82;
constexpr uint8_t kClipData84 = 0x84;
constexpr uint8_t kClipNameData86 = 0x86;
constexpr uint8_t kClipData91 = 0x91;

// ---- 8x / 9x: the family's own time-and-changes request --------------------------------------
constexpr uint8_t kTimeAndChanges = 0x01;  // 8x 01 -> 96 01

// Change flags (DATA-6 of 96 01).
constexpr uint8_t kChangedIdentity = 0x01;
constexpr uint8_t kChangedIn = 0x02;
constexpr uint8_t kChangedOut = 0x04;
constexpr uint8_t kChangedPreset = 0x08;

// ---- Cx / Dx: the family's extensions --------------------------------------------------------
constexpr uint8_t kPlayWithOptions = 0x4A;
// DATA-1 of PLAY WITH OPTIONS: bits, and the whole values that locate first.
constexpr uint8_t kPlayOptionAudio = 0x01;
constexpr uint8_t kPlayOptionReverse = 0x08;
constexpr uint8_t kPlayOptionGoto = 0x04;          // DATA-2..5 a time code
constexpr uint8_t kPlayOptionOffset = 0x10;        // DATA-2..5 a signed offset, little-endian
constexpr uint8_t kPlayOptionLockedOffset = 0x18;  // the same, reversed by "Reverse Lock rvs"
constexpr uint8_t kSystemKey = 0x58;
constexpr uint8_t kArmingState = 0x59;  // Cx 59 -> D2 59

// ---- Ax and the maker extensions of other families --------------------------------------------
// Advanced Media Protocol commands and their maker's own extensions, as listed under "Supported
// RS-422 Commands" in the "HyperDeck Disk Recorders Installation and Operation Manual".
constexpr uint8_t kAmpAutoSkip = 0x01;          // A1 01 + signed clip count
constexpr uint8_t kAmpListNextId = 0x15;        // A0 15 / A1 15 + count
constexpr uint8_t kAmpClearPlaylist = 0x29;     // 20 29
constexpr uint8_t kAmpSetPlaybackLoop = 0x42;   // 41 42 + loop bits
constexpr uint8_t kAmpSetStopMode = 0x44;       // 41 44 + mode
constexpr uint8_t kAmpAppendPreset = 0x16;      // 4F 16 + name length, name, in, out
constexpr uint8_t kAmpSeekTimeline = 0x02;      // 82 02 + 16-bit fractional position
constexpr uint8_t kAmpSeekRelativeClip = 0x03;  // 81 03 + signed clip count
constexpr uint8_t kAmpScrubDelta = 0x04;        // 87 04
constexpr uint8_t kAmpPlay = 0x05;              // 85 05
constexpr uint8_t kAmpClip = 0x06;              // 80 06
// DATA-1 of SET STOP MODE.
constexpr uint8_t kStopModeOff = 0;
constexpr uint8_t kStopModeFreezeLast = 1;
constexpr uint8_t kStopModeFreezeNext = 2;
constexpr uint8_t kStopModeBlack = 3;
// DATA-1 of SET PLAYBACK LOOP.
constexpr uint8_t kLoopEnable = 0x01;
constexpr uint8_t kLoopTimeline = 0x02;

// ---- Time data -------------------------------------------------------------------------------
// Four bytes frames, seconds, minutes, hours, each two BCD digits, with flags in the top bits.
constexpr int kTimeBytes = 4;
constexpr uint8_t kDropFrameFlag = 0x40;    // in the frames byte
constexpr uint8_t kColourFrameFlag = 0x80;  // in the frames byte
constexpr uint8_t kHoursFlag = 0x80;        // in the hours byte, shown as "*"

// ---- Status bits (STATUS DATA, S0..S15) -------------------------------------------------------
constexpr uint8_t kS0Local = 0x01;
constexpr uint8_t kS0TapeOut = 0x20;
constexpr uint8_t kS1Play = 0x01;
constexpr uint8_t kS1Record = 0x02;
constexpr uint8_t kS1FastFwd = 0x04;
constexpr uint8_t kS1Rewind = 0x08;
constexpr uint8_t kS1Eject = 0x10;
constexpr uint8_t kS1Stop = 0x20;
constexpr uint8_t kS1Standby = 0x80;
constexpr uint8_t kS2CueUp = 0x01;
constexpr uint8_t kS2Still = 0x02;
constexpr uint8_t kS2Reverse = 0x04;
constexpr uint8_t kS2Variable = 0x08;
constexpr uint8_t kS2Jog = 0x10;
constexpr uint8_t kS2Shuttle = 0x20;
constexpr uint8_t kS2ServoLock = 0x80;
constexpr uint8_t kS3InStored = 0x01;
constexpr uint8_t kS3OutStored = 0x02;
constexpr uint8_t kS4Goto = 0x01;
constexpr uint8_t kS4Edit = 0x10;
constexpr uint8_t kS4FullEe = 0x40;
constexpr uint8_t kS7Chase = 0x10;
constexpr uint8_t kS8RecInhibit = 0x01;

// ---- Message size ----------------------------------------------------------------------------
constexpr int kMinMessage = 3;    // CMD-1, CMD-2, checksum
constexpr int kMaxMessage = 18;   // 15 data bytes
constexpr int kStatusBytes = 16;  // S0..S15

// Length on the wire of a message starting with `cmd1`, checksum included.
constexpr int MessageLength(uint8_t cmd1) { return DataCountOf(cmd1) + 3; }

// The checksum of a message: the low 8 bits of the sum of its `count` bytes before the checksum.
constexpr uint8_t Checksum(const uint8_t* bytes, std::size_t count) {
  uint8_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return sum;
}

}  // namespace sony
