#include "MessageDecoder.h"

#include <algorithm>
#include <cstdlib>

#include "CommandTable.h"
#include "SpeedTable.h"
#include "sonyname.h"

using namespace sony;

namespace {

struct BitWord {
  int byte;  // status byte S0..S15, or 0 for a one-byte field
  uint8_t mask;
  const char* word;
};

constexpr BitWord kStatusWords[] = {
    {0, kS0Local, "LOCAL"},
    {0, kS0TapeOut, "TAPE-OUT"},
    {1, kS1Play, "PLAY"},
    {1, kS1Record, "RECORD"},
    {1, kS1FastFwd, "FAST-FWD"},
    {1, kS1Rewind, "REWIND"},
    {1, kS1Eject, "EJECT"},
    {1, kS1Stop, "STOP"},
    {1, kS1Standby, "STANDBY"},
    {2, kS2CueUp, "CUE-UP"},
    {2, kS2Still, "STILL"},
    {2, kS2Reverse, "REVERSE"},
    {2, kS2Variable, "VAR"},
    {2, kS2Jog, "JOG"},
    {2, kS2Shuttle, "SHUTTLE"},
    {2, kS2ServoLock, "SERVO-LOCK"},
    {3, kS3InStored, "IN-SET"},
    {3, kS3OutStored, "OUT-SET"},
    {4, kS4Goto, "GOTO"},
    {4, kS4Edit, "EDIT"},
    {4, kS4FullEe, "FULL-EE"},
    {7, kS7Chase, "CHASE"},
    {8, kS8RecInhibit, "REC-INHIBIT"},
};

constexpr BitWord kPresetWords[] = {
    {0, kPresetA1, "A1"},      {0, kPresetA2, "A2"},   {0, kPresetTc, "TC"},
    {0, kPresetA4, "A4"},      {0, kPresetVideo, "V"}, {0, kPresetAssemble, "ASM"},
    {0, kPresetInsert, "INS"},
};

constexpr BitWord kNakWords[] = {
    {0, kNakUnknownCommand, "UNKNOWN-COMMAND"}, {0, kNakChecksumError, "CHECKSUM-ERROR"},
    {0, kNakParityError, "PARITY-ERROR"},       {0, kNakBufferOverrun, "BUFFER-OVERRUN"},
    {0, kNakFramingError, "FRAMING-ERROR"},     {0, kNakTimeOut, "TIME-OUT"},
};

constexpr BitWord kChangeWords[] = {
    {0, kChangedIdentity, "IDENTITY"},
    {0, kChangedIn, "IN"},
    {0, kChangedOut, "OUT"},
    {0, kChangedPreset, "PRESET"},
};

// The message being decoded, with its length already checked against CMD-1.
struct View {
  std::span<const uint8_t> bytes;
  int DataCount() const { return DataCountOf(bytes[0]); }
  uint8_t Data(int n) const { return bytes[static_cast<std::size_t>(n + 1)]; }
};

void AppendHex(std::string& out, std::span<const uint8_t> bytes) {
  for (uint8_t b : bytes) {
    out += ' ';
    out += HexByte(b);
  }
}

// The data bytes from DATA-first on, as hex.
void AppendData(std::string& out, const View& m, int first) {
  if (m.DataCount() >= first)
    AppendHex(out, m.bytes.subspan(static_cast<std::size_t>(first + 1),
                                   static_cast<std::size_t>(m.DataCount() - first + 1)));
}

// Words of the set bits of one byte; bits the table does not name show as "Sn.b" (status) or
// "bit b".
template <std::size_t N>
void AppendWords(std::string& out, const BitWord (&words)[N], int byteIndex, uint8_t value,
                 bool statusNames) {
  uint8_t named = 0;
  for (const BitWord& w : words) {
    if (w.byte != byteIndex || (value & w.mask) == 0) continue;
    out += ' ';
    out += w.word;
    named = static_cast<uint8_t>(named | w.mask);
  }
  for (int bit = 0; bit < 8; ++bit) {
    if (((value & ~named) >> bit & 1) == 0) continue;
    out += statusNames ? " S" + std::to_string(byteIndex) + "." : std::string(" bit");
    out += std::to_string(bit);
  }
}

bool AppendTime(std::string& out, const View& m, int first) {
  if (m.DataCount() < first + kTimeBytes - 1) {
    out += " (short)";
    return false;
  }
  SonyMessage time;
  for (int i = 0; i < kTimeBytes; ++i) time[static_cast<std::size_t>(2 + i)] = m.Data(first + i);
  const bool dropFrame = (time.Data(1) & kDropFrameFlag) != 0;
  out += ' ';
  out += FormatSonyTime(time, dropFrame);
  if (dropFrame) out += " DF";
  if ((time.Data(1) & kColourFrameFlag) != 0) out += " CF";
  return true;
}

// A speed in play speeds with two decimals: "x1.00", "x0.10".
void AppendSpeed(std::string& out, const View& m) {
  if (m.DataCount() < 1) {
    out += " (short)";
    return;
  }
  const int32_t hundredths = (SpeedOf(m.Data(1)) + 5) / 10;
  const int32_t fraction = hundredths % 100;
  out += " x" + std::to_string(hundredths / 100) + (fraction < 10 ? ".0" : ".") +
         std::to_string(fraction);
}

void AppendRange(std::string& out, int start, int count) {
  if (count == 0) {
    out += " none";
    return;
  }
  out += " S" + std::to_string(start);
  if (count > 1) out += "-S" + std::to_string(start + count - 1);
}

void AppendStatus(std::string& out, const View& m, int start) {
  AppendRange(out, start, m.DataCount());
  if (m.DataCount() == 0) return;
  out += ':';
  const std::size_t before = out.size();
  for (int i = 0; i < m.DataCount(); ++i)
    AppendWords(out, kStatusWords, start + i, m.Data(i + 1), true);
  if (out.size() == before) out += " clear";
}

void AppendPreset(std::string& out, const View& m) {
  if (m.DataCount() < 1) {
    out += " (short)";
    return;
  }
  const std::size_t before = out.size();
  AppendWords(out, kPresetWords, 0, m.Data(1), false);
  if (out.size() == before) out += " no-preset";
  std::string tracks;
  for (int i = 2; i <= m.DataCount(); ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      if ((m.Data(i) >> bit & 1) != 0) tracks += ' ' + std::to_string((i - 2) * 8 + bit + 1);
    }
  }
  out += tracks.empty() ? " no tracks" : " tracks" + tracks;
}

void AppendClipName(std::string& out, const View& m) {
  if (m.DataCount() == 0) {
    out += " end of list";
    return;
  }
  out += ' ';
  for (int i = 1; i <= m.DataCount(); ++i) {
    const uint8_t c = m.Data(i);
    out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
  }
}

void AppendTimeSelect(std::string& out, const View& m) {
  if (m.DataCount() < 1) {
    out += " (short)";
    return;
  }
  switch (m.Data(1)) {
    case kSenseLtc:
      out += " LTC";
      break;
    case kSenseVitc:
      out += " VITC";
      break;
    case kSenseTimer1:
      out += " TIMER-1";
      break;
    case kSenseTimer2:
      out += " TIMER-2";
      break;
    case kSenseExtended:
      out += " EXTENDED";
      break;
    default:
      out += " select " + HexByte(m.Data(1));
      break;
  }
}

void AppendTimeAndChanges(std::string& out, const View& m) {
  if (!AppendTime(out, m, 1)) return;
  if (m.DataCount() < 6) {
    out += " (short)";
    return;
  }
  out += " changes";
  const std::size_t before = out.size();
  AppendWords(out, kChangeWords, 0, m.Data(6), false);
  if (out.size() == before) out += " none";
}

void AppendPlayOptions(std::string& out, const View& m) {
  if (m.DataCount() < 1) {
    out += " (short)";
    return;
  }
  const uint8_t mode = m.Data(1);
  out += (mode & kPlayOptionReverse) != 0 ? " reverse" : " forward";
  out += (mode & kPlayOptionAudio) != 0 ? " with-audio" : " no-audio";
  if (mode == kPlayOptionGoto) {
    out += " goto";
    AppendTime(out, m, 2);
  } else if (mode == kPlayOptionOffset || mode == kPlayOptionLockedOffset) {
    if (m.DataCount() < 5) {
      out += " (short)";
      return;
    }
    const uint32_t raw = uint32_t{m.Data(2)} | uint32_t{m.Data(3)} << 8 |
                         uint32_t{m.Data(4)} << 16 | uint32_t{m.Data(5)} << 24;
    out += " offset " + std::to_string(static_cast<int32_t>(raw));
  }
}

void AppendSignedCount(std::string& out, const View& m) {
  if (m.DataCount() < 1) {
    out += " (short)";
    return;
  }
  const int count = static_cast<int8_t>(m.Data(1));
  out += " clips " + std::string(count > 0 ? "+" : "") + std::to_string(count);
}

void AppendStopMode(std::string& out, const View& m) {
  if (m.DataCount() < 1) {
    out += " (short)";
    return;
  }
  switch (m.Data(1)) {
    case kStopModeOff:
      out += " off";
      break;
    case kStopModeFreezeLast:
      out += " freeze-last-frame";
      break;
    case kStopModeFreezeNext:
      out += " freeze-next-clip";
      break;
    case kStopModeBlack:
      out += " black";
      break;
    default:
      out += " mode " + HexByte(m.Data(1));
      break;
  }
}

void AppendLoopBits(std::string& out, const View& m) {
  if (m.DataCount() < 1) {
    out += " (short)";
    return;
  }
  const uint8_t bits = m.Data(1);
  out += (bits & kLoopEnable) != 0 ? " loop" : " no-loop";
  out += (bits & kLoopTimeline) != 0 ? " timeline" : " single-clip";
}

// Two length bytes (big end first), the name, then the in and the out time code.
void AppendClipPreset(std::string& out, const View& m) {
  if (m.DataCount() < 2) {
    out += " (short)";
    return;
  }
  const int length = m.Data(1) << 8 | m.Data(2);
  if (m.DataCount() < 2 + length + 2 * kTimeBytes) {
    out += " (short)";
    AppendData(out, m, 1);
    return;
  }
  out += " \"";
  for (int i = 0; i < length; ++i) {
    const uint8_t c = m.Data(3 + i);
    out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
  }
  out += "\" in";
  AppendTime(out, m, 3 + length);
  out += " out";
  AppendTime(out, m, 3 + length + kTimeBytes);
}

void AppendDeviceType(std::string& out, const View& m, bool dropFrame) {
  if (m.DataCount() < 2) {
    out += " (short)";
    return;
  }
  SonyMessage message;
  std::copy(m.bytes.begin(), m.bytes.end(), message.bytes.begin());
  out += ' ';
  out += DeviceTypeName(message, dropFrame);
  out += " (";
  out += HexByte(m.Data(1));
  AppendData(out, m, 2);
  out += ')';
}

void AppendMalformed(std::string& out, std::span<const uint8_t> message) {
  out += "malformed";
  AppendHex(out, message);
  if (!message.empty()) {
    out += " (" + std::to_string(MessageLength(message[0])) + " bytes expected)";
  }
}

}  // namespace

std::string MessageDecoder::Decode(std::span<const uint8_t> message) {
  std::string out;
  DecodeTo(message, out);
  return out;
}

void MessageDecoder::DecodeTo(std::span<const uint8_t> message, std::string& out) {
  // Too short to hold CMD-1 and CMD-2, or not the length its CMD-1 announces.
  if (message.size() < kMinMessage ||
      static_cast<int>(message.size()) != MessageLength(message[0])) {
    AppendMalformed(out, message);
    return;
  }
  const CommandInfo* info = FindCommand(message[0], message[1]);
  if (info == nullptr) {
    // Unknown command: named by its group and code, its data shown as it came.
    out += "unknown ";
    out += "0123456789ABCDEF"[GroupOf(message[0])];
    out += "x ";
    out += HexByte(message[1]);
    AppendData(out, View{message}, 1);
  } else {
    out += info->name;
    AppendFields(out, message, info->layout);
  }
  const std::size_t body = message.size() - 1;
  if (Checksum(message.data(), body) != message[body]) out += " [bad checksum]";
}

void MessageDecoder::AppendFields(std::string& out, std::span<const uint8_t> message,
                                  DataLayout layout) {
  const View m{message};
  const bool hasData = m.DataCount() >= 1;
  switch (layout) {
    case DataLayout::None:
    case DataLayout::HexBytes:
      AppendData(out, m, 1);
      break;
    case DataLayout::TimeCode:
      if (AppendTime(out, m, 1)) AppendData(out, m, 1 + kTimeBytes);
      // Time data from the machine tells how its NTSC device type is to be named.
      if (GroupOf(message[0]) == kSenseReply && hasData)
        dropFrame_ = (m.Data(1) & kDropFrameFlag) != 0;
      break;
    case DataLayout::OptionalTime:
      if (hasData)
        AppendTime(out, m, 1);
      else
        out += " at position";
      break;
    case DataLayout::TimeSelect:
      AppendTimeSelect(out, m);
      break;
    case DataLayout::SpeedByte:
      AppendSpeed(out, m);
      break;
    case DataLayout::StatusRange:
      if (!hasData) {
        out += " (short)";
        break;
      }
      statusStart_ = m.Data(1) >> 4;
      AppendRange(out, statusStart_, m.Data(1) & 0x0F);
      break;
    case DataLayout::PresetRange:
      out += hasData ? " " + std::to_string(m.Data(1) & 0x0F) + " bytes" : std::string(" (short)");
      break;
    case DataLayout::StatusBytes:
      AppendStatus(out, m, statusStart_);
      break;
    case DataLayout::PresetBytes:
      AppendPreset(out, m);
      break;
    case DataLayout::DeviceType:
      AppendDeviceType(out, m, dropFrame_);
      break;
    case DataLayout::NakReasons:
      if (hasData)
        AppendWords(out, kNakWords, 0, m.Data(1), false);
      else
        out += " (short)";
      break;
    case DataLayout::ClipName:
      AppendClipName(out, m);
      break;
    case DataLayout::TimeAndChanges:
      AppendTimeAndChanges(out, m);
      break;
    case DataLayout::PlayOptions:
      AppendPlayOptions(out, m);
      break;
    case DataLayout::KeyNumber:
      out += hasData ? " key " + std::to_string(m.Data(1)) : std::string(" (short)");
      break;
    case DataLayout::SignedCount:
      AppendSignedCount(out, m);
      break;
    case DataLayout::StopMode:
      AppendStopMode(out, m);
      break;
    case DataLayout::LoopBits:
      AppendLoopBits(out, m);
      break;
    case DataLayout::ClipPreset:
      AppendClipPreset(out, m);
      break;
  }
}

std::string DecodeMessage(std::span<const uint8_t> message) {
  return MessageDecoder().Decode(message);
}
