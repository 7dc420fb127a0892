// The answers of the virtual machine to each message an editor sends on port A.
#include <algorithm>

#include "VirtualMachine.h"
#include "ZQTimeCodeDll.h"

namespace {

// The version this machine reports to 00 B3.
constexpr uint8_t kVersionMajor = 0x5A;
constexpr uint8_t kVersionMinor = 0x21;
// First data byte of the four-byte device-type reply.
constexpr uint8_t kExtendedIdGroup = 0xF0;

}  // namespace

using namespace sony;

void VirtualMachine::SetAck() {
  port_.Tx[0] = Cmd1(kSystemReply, 0);
  port_.Tx[1] = kAck;
}

void VirtualMachine::ShowUnhandled() {
  panel_.cmdstr =
      HexBytes(std::span(port_.Rx.bytes.data(), static_cast<std::size_t>(port_.Rx.Length())));
}

void VirtualMachine::Respond() {
  switch (GroupOf(port_.Rx.Cmd1())) {
    case kSystemControl:
      SystemControl();
      break;
    case kTransportControl:
      if (port_.Remote) ExecuteTransport(port_.Rx.Cmd2());
      SetAck();
      break;
    case kPresetSelect:
      if (port_.Remote) PresetCommand();
      SetAck();
      break;
    case kSenseRequest:
      SenseRequest();
      break;
    case kMakerRequest:
      // Only 8x 01 has an answer of its own; the others are acknowledged rather than answered
      // with whatever reply went before.
      if (port_.Rx.Cmd2() == kTimeAndChanges) {
        ChangeFlagsReply();
      } else {
        SetAck();
      }
      break;
    case kExtensionRequest:
      if (port_.Rx.Cmd2() == kPlayWithOptions) PlayWithOptions();
      SetAck();
      break;
    default:
      ShowUnhandled();
      SetAck();
      break;
  }
}

void VirtualMachine::SystemControl() {
  switch (port_.Rx.Cmd2()) {
    case kDeviceTypeRequest:
      DeviceTypeReply();
      break;
    case kVersionRequest:
      port_.Tx[0] = Cmd1(kSystemReply, 2);
      port_.Tx[1] = kVersionData;
      port_.Tx[2] = kVersionMajor;
      port_.Tx[3] = kVersionMinor;
      break;
    default:
      ShowUnhandled();
      SetAck();
      break;
  }
}

void VirtualMachine::DeviceTypeReply() {
  SonyMessage& tx = port_.Tx;
  tx[1] = kDeviceType;
  if (extendedIdReply_) {
    tx[0] = Cmd1(kSystemReply, 4);
    tx[2] = kExtendedIdGroup;
    tx[3] = port_.DeviceId[0];
    tx[4] = 0x00;
    tx[5] = port_.DeviceId[1];
  } else {
    tx[0] = Cmd1(kSystemReply, unitTracksByte_ == 0 ? 2 : 3);
    tx[2] = port_.DeviceId[0];
    tx[3] = port_.DeviceId[1];
    tx[4] = unitTracksByte_;
  }
  // The standard rides in the low bits of the first byte: EBU 1, 24P 2, SMPTE 0.
  if (port_.Standard == 0) tx[2] |= 0x01;
  if (port_.Standard == 2) tx[2] |= 0x02;
}

void VirtualMachine::PresetCommand() {
  switch (port_.Rx.Cmd2()) {
    case kInEntry:
      MarkInClick();
      break;
    case kOutEntry:
      MarkOutClick();
      break;
    case kEditPreset:
      StoreEditPreset();
      break;
    default:
      ShowUnhandled();
      break;
  }
}

void VirtualMachine::MarkInClick() {
  port_.MarkIn = port_.Position;
  port_.Status[3] |= kS3InStored;
  port_.ChangeFlags |= kChangedIn;
}

void VirtualMachine::MarkOutClick() {
  port_.MarkOut = port_.Position;
  port_.Status[3] |= kS3OutStored;
  port_.ChangeFlags |= kChangedOut;
}

void VirtualMachine::StoreEditPreset() {
  // Only the bytes that were sent, and only as many track bytes as there are.
  const int count = std::min(port_.Rx.DataCount(), kEditPresetBytes);
  if (count >= 1) presetByte_ = port_.Rx.Data(1);
  for (int i = 2; i <= count; ++i) {
    trackBytes_[static_cast<std::size_t>(i - 2)] = port_.Rx.Data(i);
  }
  ShowVmTrackLamps();
  port_.ChangeFlags |= kChangedPreset;
}

void VirtualMachine::SenseRequest() {
  const uint8_t cmd2 = port_.Rx.Cmd2();
  switch (cmd2) {
    case kCurrentTimeSense:
      TimeReply(port_.Rx.Data(1) == kSenseExtended ? kExtendedTimeData : kLtcTimeData,
                port_.Position);
      return;
    case kInDataSense:
      TimeReply(kInData, port_.MarkIn);
      return;
    case kOutDataSense:
      TimeReply(kOutData, port_.MarkOut);
      return;
    case kStatusSense:
      StatusSense();
      return;
    case kEditPresetSense:
      EditPresetSense();
      return;
    case kTimerModeSense:
      port_.Tx[0] = Cmd1(kSenseReply, 1);
      port_.Tx[1] = kTimerModeData;
      port_.Tx[2] = 0x00;
      return;
    case kLsmIdRequest:
      clips_.LsmIdReply(port_.Tx);
      return;
    case kFirstClipName:
      clips_.FirstClipReply(port_.Tx);
      return;
    case kNextClipName:
      clips_.NextClipReply(kClipNameData, port_.Tx);
      return;
    case kClipSense84:
    case kClipSense85:
      port_.Tx[0] = Cmd1(kSenseReply, 0);
      port_.Tx[1] = kClipData84;
      return;
    case kClipName86:
    case kClipName87:
      clips_.NextClipReply(kClipNameData86, port_.Tx);
      return;
    case kClipSense91:
      port_.Tx[0] = Cmd1(kSenseReply, 4);
      port_.Tx[1] = kClipData91;
      port_.Tx[2] = 0x03;
      port_.Tx[3] = 0x02;
      port_.Tx[4] = 0x01;
      port_.Tx[5] = 0x00;
      return;
    case kSetClipIn:
      clips_.SetClipIn(port_.Rx, panel_.vpoz);
      break;
    case kSetClipOut:
      clips_.SetClipOut(port_.Rx, panel_.vpoz);
      break;
    case kAddClip:
      clips_.AddClip(port_.Rx);
      break;
    case kClipCommandA3:
    case kClipCommandA4:
      break;
    case kLoadLsmId:
      clips_.LoadLsmId();
      break;
    default:
      ShowUnhandled();
      break;
  }
  SetAck();
}

void VirtualMachine::TimeReply(uint8_t cmd2, int32_t frames) {
  port_.Tx[0] = Cmd1(kSenseReply, kTimeBytes);
  port_.Tx[1] = cmd2;
  frms2Sony(frames, port_.Standard, 2, port_.Tx.bytes.data());
}

void VirtualMachine::StatusSense() {
  if (panel_.nostatus) {
    SetAck();
    return;
  }
  // A request without its range byte asks for nothing; a range past S15 gets the bytes that
  // exist, and CMD-1 counts exactly the bytes sent.
  int start = 0;
  int count = 0;
  if (port_.Rx.DataCount() >= 1) {
    start = port_.Rx.Data(1) >> 4;
    count = std::min(port_.Rx.Data(1) & 0x0F, kStatusBytes - start);
    port_.SenseStart = start;
  }
  port_.Tx[0] = Cmd1(kSenseReply, count);
  port_.Tx[1] = kStatusData;
  for (int i = 0; i < count; ++i) {
    port_.Tx[static_cast<std::size_t>(2 + i)] = port_.Status[static_cast<std::size_t>(start + i)];
  }
}

void VirtualMachine::EditPresetSense() {
  const int asked = port_.Rx.DataCount() >= 1 ? (port_.Rx.Data(1) & 0x0F) : 0;
  const int count = std::min(asked, kEditPresetBytes);
  port_.Tx[0] = Cmd1(kSenseReply, count);
  port_.Tx[1] = kEditPresetData;
  if (count >= 1) port_.Tx[2] = presetByte_;
  for (int i = 1; i < count; ++i) {
    port_.Tx[static_cast<std::size_t>(2 + i)] = trackBytes_[static_cast<std::size_t>(i - 1)];
  }
}

void VirtualMachine::ChangeFlagsReply() {
  port_.Tx[0] = Cmd1(kMakerReply, 6);
  port_.Tx[1] = kTimeAndChanges;
  frms2Sony(port_.Position, port_.Standard, 2, port_.Tx.bytes.data());
  port_.Tx[6] = 0x00;
  port_.Tx[7] = port_.ChangeFlags;
  port_.ChangeFlags = 0;
}
