// The Sony 9-pin front end of the model: transport, preset and arming commands for any machine
// become command-server requests; sense requests are answered from the model.
#include <algorithm>
#include <cstring>

#include "SonyCommands.h"
#include "SonyStatusBlock.h"
#include "SonyTables.h"
#include "VyoModel.h"
#include "ZMModel.h"
#include "ZQServerDll.h"
#include "ZQTimeCodeDll.h"

using namespace vyo;
using namespace sony;

namespace {

constexpr int kMachineArmingBytes = 7;
constexpr int kLogicalArmingBytes = 12;

// Per-process state: the machine of the message being handled and the last status block built.
int8_t CurrentMcn = 0;
SonyStatusBytes SonyStatus{};

// A message copied out of the caller's buffer: only CMD-1, CMD-2 and the data bytes announced
// are read; the bytes after them read as 0.
struct Message {
  uint8_t bytes[kMaxMessage] = {};
  int Count() const { return bytes[0] & 0x0F; }
  uint8_t Cmd2() const { return bytes[1]; }
  uint8_t Data(int n) const { return bytes[n + 1]; }  // DATA-n, counted from 1
};

struct Reply {
  uint8_t* bytes;
  void Set(uint8_t cmd1, uint8_t cmd2) {
    bytes[0] = cmd1;
    bytes[1] = cmd2;
  }
  void Ack() { Set(Cmd1(kSystemReply, 0), kAck); }
  void Nak() {
    Set(Cmd1(kSystemReply, 1), kNak);
    bytes[2] = kNakUnknownCommand;
  }
  uint8_t& Data(int n) { return bytes[n + 1]; }
  void Finish() {
    const int length = DataCountOf(bytes[0]) + 2;
    bytes[length] = Checksum(bytes, std::size_t(length));
  }
};

uint8_t StandardOf(int8_t m) { return getZQ_McnStandard(m); }

// The time code in DATA-1..4, in the standard of the current machine.
int32_t MessageFrames(const Message& msg) {
  return Sony2frms(msg.bytes, 2, StandardOf(CurrentMcn));
}

void PutTime(Reply& reply, int32_t frames, uint8_t standard) {
  frms2Sony(frames, standard, 2, reply.bytes);
}

// The machine and arming byte that the arming commands address: RecordBank is the machine number
// times 8 plus a bank 0..7, and bank b lives in arming byte b + 1, except that bank 6 lives in
// byte 0 (so bank 7 lands in byte 8).
struct ArmingTarget {
  int8_t machine;
  int position;
};
ArmingTarget CurrentArmingTarget() {
  const uint8_t bank = getZQ_RecordBank();
  const int position = (bank & 7) + 1;
  return {int8_t(bank >> 3), position == 7 ? 0 : position};
}

void ReadMachineArming(int8_t m, uint8_t* bytes) {
  getZQ_McnTrackArmingP(m, &bytes, 0, 0, kMachineArmingBytes);
}
void ReadLogicalArming(uint8_t* bytes) { getZQ_LogicalReady(&bytes, 0, 0, kLogicalArmingBytes); }

// ---- group 0: system control ----
void SystemControl(const Message& msg, Reply& reply) {
  if (msg.Cmd2() == kDeviceTypeRequest) {
    const uint16_t id = getZQ_McnSonyID(CurrentMcn);
    reply.Set(Cmd1(kSystemReply, 2), kDeviceType);
    reply.Data(1) = uint8_t(id >> 8);
    reply.Data(2) = uint8_t(id);
    return;
  }
  ZQServer_SonyCommand(CurrentMcn, msg.bytes);
}

// ---- group 2: transport ----
bool TransportCommand(uint8_t cmd2, uint8_t& command) {
  switch (cmd2) {
    case kStop:
      command = 13;
      return true;
    case kPlay:
      command = 2;
      return true;
    case kRecord:
      command = 8;
      return true;
    case kFastFwd:
      command = 7;
      return true;
    case kRewind:
      command = 6;
      return true;
    case kPreroll:
      command = 12;
      return true;
    case kPreview:
      command = 16;
      return true;
    case kReview:
      command = 18;
      return true;
    case kAutoEdit:
      command = 17;
      return true;
    case kEditOff:
      command = 9;
      return true;
    case kEditOn:
      command = 8;
      return true;
    default:
      return false;
  }
}

// Jog, variable and shuttle carry a speed; reverse is the same speed plus 128.
bool SpeedCommand(uint8_t cmd2, uint8_t& command, bool& reverse) {
  switch (cmd2) {
    case kJogFwd:
    case kJogRev:
      command = 29;
      break;
    case kVarFwd:
    case kVarRev:
      command = 31;
      break;
    case kShuttleFwd:
    case kShuttleRev:
      command = 30;
      break;
    default:
      return false;
  }
  reverse = cmd2 == kJogRev || cmd2 == kVarRev || cmd2 == kShuttleRev;
  return true;
}

void Transport(const Message& msg, Reply&) {
  uint8_t command = 0;
  bool reverse = false;
  if (TransportCommand(msg.Cmd2(), command)) {
    ZQServer_McnCommand(CurrentMcn, command);
  } else if (SpeedCommand(msg.Cmd2(), command, reverse)) {
    const uint8_t speed = kSpeedTable[msg.Data(1)];
    ZQServer_McnCommandWithByteData(CurrentMcn, command, reverse ? uint8_t(speed + 128) : speed);
  } else if (msg.Cmd2() == kCueUpWithData) {
    ZQServer_McnCommandWithTCFrms(CurrentMcn, 32, MessageFrames(msg));
  } else if (msg.Cmd2() == kChaseOn) {
    ZQServer_McnCommandWithByteData(CurrentMcn, 27, 1);
  } else {
    ZQServer_SonyCommand(CurrentMcn, msg.bytes);
  }
}

// ---- group 4: preset and select ----

// EDIT PRESET: a machine target takes DATA-1.. into its 7 arming bytes; the logical target takes
// DATA-2.. (DATA-1 is the preset byte) into the 12 logical bytes. Only the data bytes present are
// copied, and never more than the target holds. The model itself is not changed.
// The target is RecordBank read as a signed byte and divided by 8 (truncating): -15..-8 address
// the generator, -7..7 the logical bytes; a byte below -15 names no machine, so nothing is sent.
void EditPreset(const Message& msg) {
  const int n = msg.Count();
  const int target = int8_t(getZQ_RecordBank()) / 8;
  if (target != 0) {
    if (!IsMachine(target)) return;
    uint8_t bytes[kMachineArmingBytes];
    ReadMachineArming(int8_t(target), bytes);
    std::memcpy(bytes, &msg.bytes[2], std::size_t(std::min(n, kMachineArmingBytes)));
    ZQServer_McnTrackArming(int8_t(target), bytes, kMachineArmingBytes);
    return;
  }
  if (n < 2) return;
  uint8_t bytes[kLogicalArmingBytes];
  ReadLogicalArming(bytes);
  std::memcpy(bytes, &msg.bytes[3], std::size_t(std::min(n - 1, kLogicalArmingBytes)));
  ZQServer_LogicalTrackArming(bytes, kLogicalArmingBytes);
}

bool PresetTimeCommand(uint8_t cmd2, uint8_t& command) {
  switch (cmd2) {
    case kTimeCodePreset:
      command = 37;
      return true;
    case kInDataPreset:
      command = 34;
      return true;
    case kOutDataPreset:
      command = 35;
      return true;
    case kPrerollTimePreset:
      command = 38;
      return true;
    case kTimePreset3C:
      command = 40;
      return true;
    case kTimePreset78:
      command = 36;
      return true;
    default:
      return false;
  }
}

void Preset(const Message& msg, Reply&) {
  uint8_t command = 0;
  const uint8_t cmd2 = msg.Cmd2();
  if (cmd2 == kTimerPreset) return;
  if (PresetTimeCommand(cmd2, command)) {
    ZQServer_McnCommandWithTCFrms(CurrentMcn, command, MessageFrames(msg));
  } else if (cmd2 == kInEntry || cmd2 == kOutEntry) {
    ZQServer_McnCommandWithTCFrms(CurrentMcn, cmd2 == kInEntry ? 34 : 35,
                                  getZQ_McnPosition(CurrentMcn));
  } else if (cmd2 == kEditPreset) {
    EditPreset(msg);
  } else {
    ZQServer_SonyCommand(CurrentMcn, msg.bytes);
  }
}

// ---- group 6: sense requests ----

void CurrentTimeSense(const Message& msg, Reply& reply) {
  const uint8_t standard = StandardOf(CurrentMcn);
  const int32_t position = getZQ_McnPosition(CurrentMcn);
  switch (msg.Data(1)) {
    case kSenseLtc:
    case kSenseVitc:
      reply.Set(Cmd1(kSenseReply, kTimeBytes), kLtcTimeData);
      break;
    case kSenseTimer1:
      reply.Set(Cmd1(kSenseReply, kTimeBytes), kTimer1TimeData);
      break;
    case kSenseTimer2:
      reply.Set(Cmd1(kSenseReply, kTimeBytes), kTimer2TimeData);
      break;
    case kSenseExtended:
      reply.Set(Cmd1(kSenseReply, 8), kExtendedTimeData);
      reply.Data(5) = uint8_t(getZQ_Master());
      reply.Data(6) = uint8_t(getZQ_SelectedMcn());
      reply.Data(7) = getZQ_McnStatus3(CurrentMcn);
      reply.Data(8) = 0;
      break;
    default:
      reply.Set(Cmd1(kSenseReply, 0), kNoTimeData);
      return;
  }
  PutTime(reply, position, standard);
}

// Answers n bytes of block from start, or NAK when they would run past its end.
// Returns the number of bytes answered, or -1 for a NAK.
int SenseBlock(const Message& msg, Reply& reply, const uint8_t* block, int size) {
  const int start = msg.Data(1) >> 4;
  const int n = msg.Data(1) & 0x0F;
  if (start + n > size) {
    reply.Nak();
    return -1;
  }
  reply.Set(Cmd1(kSenseReply, n), msg.Cmd2());
  std::memcpy(&reply.Data(1), block + start, std::size_t(n));
  return n;
}

void StatusSense(const Message& msg, Reply& reply) {
  BuildSonyStatus(CurrentMcn, SonyStatus);
  SenseBlock(msg, reply, SonyStatus.data(), int(SonyStatus.size()));
}

// The arming bytes of the record-bank machine; the first byte carries a "some tracks armed" bit 6
// unless bit 5 already says so.
void EditPresetSense(const Message& msg, Reply& reply) {
  uint8_t arming[15];
  uint8_t* out = arming;
  getZQ_McnTrackArmingP(int8_t(getZQ_RecordBank() >> 3), &out, 0, 0, sizeof arming);
  const int n = SenseBlock(msg, reply, arming, sizeof arming);
  if (n <= 0) return;
  uint8_t sum = 0;
  for (int i = 1; i < n; ++i) sum = uint8_t(sum + reply.Data(i));
  if (sum != 0 && (reply.Data(1) & kPresetAssemble) == 0) reply.Data(1) |= kPresetInsert;
}

void Sense(const Message& msg, Reply& reply) {
  const uint8_t cmd2 = msg.Cmd2();
  if (cmd2 == kTcGenSense) {
    reply.Set(Cmd1(kSenseReply, kTimeBytes), kGenTimeData);
    PutTime(reply, getZQ_McnPosition(-1), StandardOf(-1));
  } else if (cmd2 == kCurrentTimeSense) {
    CurrentTimeSense(msg, reply);
  } else if (cmd2 >= kInDataSense && cmd2 <= kAudioOutDataSense) {
    const bool in = cmd2 == kInDataSense || cmd2 == kAudioInDataSense;
    reply.Set(Cmd1(kSenseReply, kTimeBytes), cmd2);
    PutTime(reply, in ? getZQ_McnRecInPoint(CurrentMcn) : getZQ_McnRecOutPoint(CurrentMcn),
            StandardOf(CurrentMcn));
  } else if (cmd2 == kStatusSense) {
    StatusSense(msg, reply);
  } else if (cmd2 == kEditPresetSense) {
    EditPresetSense(msg, reply);
  } else {
    reply.Nak();
  }
}

// ---- group C: the system's own requests ----

// Toggles one track of the record bank (DATA-1 8..15 picks the bit) and sends the bank's bytes.
// A machine target sends 7 bytes, so byte 8 (bank 7) cannot be toggled there: NAK.
void ToggleArming(int d, Reply& reply) {
  const ArmingTarget target = CurrentArmingTarget();
  const uint8_t mask = uint8_t(1u << (d - 8));
  if (target.machine == 0) {
    uint8_t bytes[kLogicalArmingBytes];
    ReadLogicalArming(bytes);
    bytes[target.position] ^= mask;
    ZQServer_LogicalTrackArming(bytes, kLogicalArmingBytes);
  } else if (target.position < kMachineArmingBytes) {
    uint8_t bytes[kMachineArmingBytes];
    ReadMachineArming(target.machine, bytes);
    bytes[target.position] ^= mask;
    ZQServer_McnTrackArming(target.machine, bytes, kMachineArmingBytes);
  } else {
    reply.Nak();
  }
}

void SystemKey(int d, Reply& reply) {
  if (d <= 4) {
    ZQServer_McnCommand(int8_t(d + 1), 0);
  } else if (d == 5) {
    ZQServer_McnCommand(-1, 0);
  } else if (d == 6) {
    ZQServer_MacroCommand(65, 0);
  } else if (d == 7) {
    ZQServer_McnCommandWithByteData(getZQ_SelectedMcn(), 27,
                                    getZQ_McnIsChasing(CurrentMcn) ? 0 : 1);
  } else if (d <= 15) {
    ToggleArming(d, reply);
  } else {
    reply.Nak();
  }
}

uint8_t MachineCode(int8_t m) {
  static constexpr uint8_t kCodes[] = {0x20, 0x30, 0x01, 0x02, 0x04, 0x08, 0x10};  // -1..5
  return (m >= -1 && m <= 5) ? kCodes[m + 1] : 0x00;
}

void ArmingState(Reply& reply) {
  const ArmingTarget target = CurrentArmingTarget();
  const uint8_t armed = target.machine == 0
                            ? Load(Sys().LogicalReady[target.position])
                            : getZQ_McnTrackArming(target.machine, uint8_t(target.position));
  uint8_t code = MachineCode(CurrentMcn);
  if (target.position != 1) code |= 0x40;
  if (getZQ_McnIsChasing(CurrentMcn)) code |= 0x80;
  reply.Set(Cmd1(kExtensionReply, 2), kArmingState);
  reply.Data(1) = code;
  reply.Data(2) = armed;
}

void OwnRequest(const Message& msg, Reply& reply) {
  if (msg.Cmd2() == kSystemKey) {
    SystemKey(msg.Data(1), reply);
  } else if (msg.Cmd2() == kArmingState) {
    ArmingState(reply);
  } else {
    reply.Nak();
  }
}

void Dispatch(const Message& msg, Reply& reply) {
  switch (GroupOf(msg.bytes[0])) {
    case kSystemControl:
      SystemControl(msg, reply);
      break;
    case kTransportControl:
      Transport(msg, reply);
      break;
    case kPresetSelect:
      Preset(msg, reply);
      break;
    case kSenseRequest:
      Sense(msg, reply);
      break;
    case kExtensionRequest:
      OwnRequest(msg, reply);
      break;
    default:
      reply.Nak();
      break;
  }
}

}  // namespace

extern "C" void ZQ_ParseSony(const uint8_t* message, uint8_t* replyBytes, int8_t m) {
  if (replyBytes == nullptr) return;
  Reply reply{replyBytes};
  if (message == nullptr || !IsMachine(m)) {
    reply.Nak();
    reply.Finish();
    return;
  }
  CurrentMcn = m;
  Message msg;
  std::memcpy(msg.bytes, message, std::size_t(DataCountOf(message[0]) + 2));
  reply.Ack();
  Dispatch(msg, reply);
  reply.Finish();
}
