#include "CommandTable.h"

#include <array>

#include "SonyCommands.h"

namespace sony {

namespace {

using L = DataLayout;

constexpr CommandInfo kTable[] = {
    // 0x system control
    {kSystemControl, kDeviceTypeRequest, "DEVICE TYPE REQUEST", L::None, true},
    {kSystemControl, kVersionRequest, "VERSION REQUEST", L::None, true},
    // 1x system replies
    {kSystemReply, kAck, "ACK", L::None},
    {kSystemReply, kNak, "NAK", L::NakReasons},
    {kSystemReply, kDeviceType, "DEVICE TYPE", L::DeviceType},
    {kSystemReply, kVersionData, "VERSION DATA", L::HexBytes},
    // 2x transport control
    {kTransportControl, kStop, "STOP", L::None},
    {kTransportControl, kPlay, "PLAY", L::None},
    {kTransportControl, kRecord, "RECORD", L::None},
    {kTransportControl, kFastFwd, "FAST FWD", L::None},
    {kTransportControl, kJogFwd, "JOG FWD", L::SpeedByte},
    {kTransportControl, kVarFwd, "VAR FWD", L::SpeedByte},
    {kTransportControl, kShuttleFwd, "SHUTTLE FWD", L::SpeedByte},
    {kTransportControl, kRewind, "REWIND", L::None},
    {kTransportControl, kJogRev, "JOG REV", L::SpeedByte},
    {kTransportControl, kVarRev, "VAR REV", L::SpeedByte},
    {kTransportControl, kShuttleRev, "SHUTTLE REV", L::SpeedByte},
    {kTransportControl, kPreroll, "PREROLL", L::None},
    {kTransportControl, kCueUpWithData, "CUE UP WITH DATA", L::TimeCode},
    {kTransportControl, kChaseOn, "CHASE ON", L::None},
    {kTransportControl, kPreview, "PREVIEW", L::None},
    {kTransportControl, kReview, "REVIEW", L::None},
    {kTransportControl, kAutoEdit, "AUTO EDIT", L::None},
    {kTransportControl, kFullEeOff, "FULL EE OFF", L::None},
    {kTransportControl, kFullEeOn, "FULL EE ON", L::None},
    {kTransportControl, kEditOff, "EDIT OFF", L::None},
    {kTransportControl, kEditOn, "EDIT ON", L::None},
    {kTransportControl, kClipSelect, "CLIP SELECT", L::ClipName},
    // 4x preset and select
    {kPresetSelect, kTimerPreset, "TIMER-1 PRESET", L::TimeCode},
    {kPresetSelect, kTimeCodePreset, "TIME CODE PRESET", L::TimeCode},
    {kPresetSelect, kInEntry, "IN ENTRY", L::None},
    {kPresetSelect, kOutEntry, "OUT ENTRY", L::None},
    {kPresetSelect, kInDataPreset, "IN DATA PRESET", L::TimeCode},
    {kPresetSelect, kOutDataPreset, "OUT DATA PRESET", L::TimeCode},
    {kPresetSelect, kEditPreset, "EDIT PRESET", L::PresetBytes},
    {kPresetSelect, kPrerollTimePreset, "PREROLL TIME PRESET", L::TimeCode},
    {kPresetSelect, kTimePreset3C, "TIME PRESET 3C", L::TimeCode},
    {kPresetSelect, kTimePreset78, "TIME PRESET 78", L::TimeCode},
    // 6x sense requests
    {kSenseRequest, kTcGenSense, "TC GEN SENSE", L::None, true},
    {kSenseRequest, kCurrentTimeSense, "CURRENT TIME SENSE", L::TimeSelect, true},
    {kSenseRequest, kInDataSense, "IN DATA SENSE", L::None, true},
    {kSenseRequest, kOutDataSense, "OUT DATA SENSE", L::None, true},
    {kSenseRequest, kAudioInDataSense, "AUDIO IN DATA SENSE", L::None, true},
    {kSenseRequest, kAudioOutDataSense, "AUDIO OUT DATA SENSE", L::None, true},
    {kSenseRequest, kStatusSense, "STATUS SENSE", L::StatusRange, true},
    {kSenseRequest, kEditPresetSense, "EDIT PRESET SENSE", L::PresetRange, true},
    {kSenseRequest, kTimerModeSense, "TIMER MODE SENSE", L::None, true},
    {kSenseRequest, kLsmIdRequest, "LSM ID REQUEST", L::None, true},
    {kSenseRequest, kFirstClipName, "FIRST CLIP NAME", L::None, true},
    {kSenseRequest, kNextClipName, "NEXT CLIP NAME", L::None, true},
    {kSenseRequest, kClipSense84, "CLIP SENSE 84", L::HexBytes, true},
    {kSenseRequest, kClipSense85, "CLIP SENSE 85", L::HexBytes, true},
    {kSenseRequest, kClipName86, "CLIP NAME 86", L::HexBytes, true},
    {kSenseRequest, kClipName87, "CLIP NAME 87", L::HexBytes, true},
    {kSenseRequest, kClipSense91, "CLIP SENSE 91", L::HexBytes, true},
    {kSenseRequest, kSetClipIn, "SET CLIP IN", L::OptionalTime},
    {kSenseRequest, kSetClipOut, "SET CLIP OUT", L::OptionalTime},
    {kSenseRequest, kAddClip, "ADD CLIP", L::ClipName},
    {kSenseRequest, kClipCommandA3, "CLIP COMMAND A3", L::HexBytes},
    {kSenseRequest, kClipCommandA4, "CLIP COMMAND A4", L::HexBytes},
    {kSenseRequest, kLoadLsmId, "LOAD LSM ID", L::None},
    // 7x sense replies
    {kSenseReply, kTimer1TimeData, "TIMER-1 TIME DATA", L::TimeCode},
    {kSenseReply, kTimer2TimeData, "TIMER-2 TIME DATA", L::TimeCode},
    {kSenseReply, kLtcTimeData, "LTC TIME DATA", L::TimeCode},
    {kSenseReply, kLtcUserBitsData, "LTC USER BITS DATA", L::HexBytes},
    {kSenseReply, kVitcTimeData, "VITC TIME DATA", L::TimeCode},
    {kSenseReply, kGenTimeData, "GEN TIME DATA", L::TimeCode},
    {kSenseReply, kNoTimeData, "NO TIME DATA", L::None},
    {kSenseReply, kInData, "IN DATA", L::TimeCode},
    {kSenseReply, kOutData, "OUT DATA", L::TimeCode},
    {kSenseReply, kAudioInData, "AUDIO IN DATA", L::TimeCode},
    {kSenseReply, kAudioOutData, "AUDIO OUT DATA", L::TimeCode},
    {kSenseReply, kTimeData14, "TIME DATA 14", L::TimeCode},
    {kSenseReply, kExtendedTimeData, "EXTENDED TIME DATA", L::TimeCode},
    {kSenseReply, kStatusData, "STATUS DATA", L::StatusBytes},
    {kSenseReply, kEditPresetData, "EDIT PRESET DATA", L::PresetBytes},
    {kSenseReply, kTimerModeData, "TIMER MODE DATA", L::HexBytes},
    {kSenseReply, kLsmIdData, "LSM ID", L::ClipName},
    {kSenseReply, kClipNameData, "CLIP NAME", L::ClipName},
    {kSenseReply, kClipData84, "CLIP DATA 84", L::HexBytes},
    {kSenseReply, kClipNameData86, "CLIP NAME 86", L::ClipName},
    {kSenseReply, kClipData91, "CLIP DATA 91", L::HexBytes},
    // 8x / 9x the family's time-and-changes exchange
    {kMakerRequest, kTimeAndChanges, "TIME AND CHANGES SENSE", L::None, true},
    {kMakerReply, kTimeAndChanges, "TIME AND CHANGES", L::TimeAndChanges},
    // Cx / Dx the family's extensions
    {kExtensionRequest, kPlayWithOptions, "PLAY WITH OPTIONS", L::PlayOptions},
    {kExtensionRequest, kSystemKey, "SYSTEM KEY", L::KeyNumber},
    {kExtensionRequest, kArmingState, "ARMING STATE SENSE", L::None, true},
    {kExtensionReply, kArmingState, "ARMING STATE", L::HexBytes},
    // Advanced Media Protocol and its maker's extensions, from "Supported RS-422 Commands" in the
    // "HyperDeck Disk Recorders Installation and Operation Manual".
    {kAdvancedMedia, kAmpAutoSkip, "AUTO SKIP", L::SignedCount},
    {kAdvancedMedia, kAmpListNextId, "LIST NEXT ID", L::HexBytes},
    {kTransportControl, kAmpClearPlaylist, "CLEAR PLAYLIST", L::None},
    {kPresetSelect, kAmpSetPlaybackLoop, "SET PLAYBACK LOOP", L::LoopBits},
    {kPresetSelect, kAmpSetStopMode, "SET STOP MODE", L::StopMode},
    {kPresetSelect, kAmpAppendPreset, "APPEND PRESET", L::ClipPreset},
    {kMakerRequest, kAmpSeekTimeline, "BMD SEEK TO TIMELINE POSITION", L::HexBytes},
    {kMakerRequest, kAmpSeekRelativeClip, "BMD SEEK RELATIVE CLIP", L::SignedCount},
    {kMakerRequest, kAmpScrubDelta, "BMD SCRUB TIMELINE DELTA", L::HexBytes},
    {kMakerRequest, kAmpPlay, "BMD PLAY", L::HexBytes},
    {kMakerRequest, kAmpClip, "BMD CLIP", L::HexBytes},
};

constexpr int kNoEntry = -1;

// Index of the entry of each (group, CMD-2), built once: a lookup is one array access.
constexpr bool EveryCodeOnce() {
  for (std::size_t i = 0; i < std::size(kTable); ++i) {
    for (std::size_t j = i + 1; j < std::size(kTable); ++j) {
      if (kTable[i].group == kTable[j].group && kTable[i].cmd2 == kTable[j].cmd2) return false;
    }
  }
  return true;
}
static_assert(EveryCodeOnce(), "two entries of the command table share a code");

std::array<int16_t, 16 * 256> BuildIndex() {
  std::array<int16_t, 16 * 256> index;
  index.fill(kNoEntry);
  for (std::size_t i = 0; i < std::size(kTable); ++i) {
    index[static_cast<std::size_t>(kTable[i].group) * 256 + kTable[i].cmd2] =
        static_cast<int16_t>(i);
  }
  return index;
}

}  // namespace

std::span<const CommandInfo> CommandTable() { return kTable; }

const CommandInfo* FindCommand(uint8_t cmd1, uint8_t cmd2) {
  static const std::array<int16_t, 16 * 256> kIndex = BuildIndex();
  const int at = kIndex[static_cast<std::size_t>(GroupOf(cmd1)) * 256 + cmd2];
  return at == kNoEntry ? nullptr : &kTable[at];
}

}  // namespace sony
