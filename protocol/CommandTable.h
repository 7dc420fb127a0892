// The table of every 9-pin command and reply this program knows: group and CMD-2 -> name and the
// layout of its data bytes. The numbers come from SonyCommands.h; the decoder reads this table.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace sony {

// How the data bytes of a message are read.
enum class DataLayout : uint8_t {
  None,            // no data, or data not interpreted (shown as hex)
  TimeCode,        // DATA-1..4 a time code; further bytes as hex
  OptionalTime,    // a time code when present, else "at position"
  TimeSelect,      // DATA-1 picks which time is asked for
  SpeedByte,       // DATA-1 a speed byte
  StatusRange,     // DATA-1 high nibble the first status byte, low nibble the count
  PresetRange,     // DATA-1 low nibble the count of edit-preset bytes
  StatusBytes,     // status bytes from the first one asked for
  PresetBytes,     // the preset byte, then track bytes
  DeviceType,      // device-type code (and unit/tracks byte)
  HexBytes,        // bytes shown as hex, e.g. a version
  NakReasons,      // DATA-1 reason bits
  ClipName,        // seven characters; none at the end of a list
  TimeAndChanges,  // a time code, a spare byte, change flags
  PlayOptions,     // mode byte, then a time code or a signed offset
  KeyNumber,       // DATA-1 a key number
  SignedCount,     // DATA-1 a signed number of clips
  StopMode,        // DATA-1 what shows after the last frame
  LoopBits,        // DATA-1 loop on/off and clip/timeline
  ClipPreset,      // two length bytes, the name, an in and an out time code
};

struct CommandInfo {
  uint8_t group;  // high nibble of CMD-1
  uint8_t cmd2;
  std::string_view name;
  DataLayout layout;
  // A request that only reads the machine's state; a census may send it to any machine.
  bool asks = false;
};

// Every entry, in table order.
std::span<const CommandInfo> CommandTable();

// The entry for a message with this CMD-1 and CMD-2, or nullptr for one the program does not know.
const CommandInfo* FindCommand(uint8_t cmd1, uint8_t cmd2);

}  // namespace sony
