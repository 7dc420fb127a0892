// The answers of the virtual machine to each message an editor sends on port A.
#include <algorithm>

#include "VirtualMachine.h"
#include "ZQTimeCodeDll.h"

namespace {

constexpr int kStatusBytes = 16;
constexpr int kPresetSenseMax = 13;  // the preset byte and the 12 track bytes

}  // namespace

void VirtualMachine::SetAck() {
  port_.Tx[0] = 0x10;
  port_.Tx[1] = 0x01;
}

void VirtualMachine::ShowUnhandled() {
  panel_.cmdstr = HexBytes(std::span(port_.Rx.bytes.data(),
                                     static_cast<std::size_t>(port_.Rx.Length())));
}

void VirtualMachine::Respond() {
  switch (port_.Rx.Cmd1() >> 4) {
    case 0x0:
      SystemControl();
      break;
    case 0x2:
      if (port_.Remote) ExecuteTransport(port_.Rx.Cmd2());
      SetAck();
      break;
    case 0x4:
      if (port_.Remote) PresetCommand();
      SetAck();
      break;
    case 0x6:
      SenseRequest();
      break;
    case 0x8:
      // Only 8x 01 has an answer of its own; the others are acknowledged rather than answered
      // with whatever reply went before.
      if (port_.Rx.Cmd2() == 0x01) {
        ChangeFlagsReply();
      } else {
        SetAck();
      }
      break;
    case 0xC:
      if (port_.Rx.Cmd2() == 0x4A) PlayWithOptions();
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
    case 0x11:
      DeviceTypeReply();
      break;
    case 0xB3:
      port_.Tx[0] = 0x12;
      port_.Tx[1] = 0xB3;
      port_.Tx[2] = 0x5A;
      port_.Tx[3] = 0x21;
      break;
    default:
      ShowUnhandled();
      SetAck();
      break;
  }
}

void VirtualMachine::DeviceTypeReply() {
  SonyMessage& tx = port_.Tx;
  tx[1] = 0x11;
  if (extendedIdReply_) {
    tx[0] = 0x14;
    tx[2] = 0xF0;
    tx[3] = port_.DeviceId[0];
    tx[4] = 0x00;
    tx[5] = port_.DeviceId[1];
  } else {
    tx[0] = unitTracksByte_ == 0 ? 0x12 : 0x13;
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
    case 0x10:
      MarkInClick();
      break;
    case 0x11:
      MarkOutClick();
      break;
    case 0x30:
      StoreEditPreset();
      break;
    default:
      ShowUnhandled();
      break;
  }
}

void VirtualMachine::MarkInClick() {
  port_.MarkIn = port_.Position;
  port_.Status[3] |= 0x01;
  port_.ChangeFlags |= 0x02;
}

void VirtualMachine::MarkOutClick() {
  port_.MarkOut = port_.Position;
  port_.Status[3] |= 0x02;
  port_.ChangeFlags |= 0x04;
}

void VirtualMachine::StoreEditPreset() {
  // Only the bytes that were sent, and only as many track bytes as there are.
  const int count = std::min(port_.Rx.DataCount(), kPresetSenseMax);
  if (count >= 1) presetByte_ = port_.Rx.Data(1);
  for (int i = 2; i <= count; ++i) {
    trackBytes_[static_cast<std::size_t>(i - 2)] = port_.Rx.Data(i);
  }
  ShowVmTrackLamps();
  port_.ChangeFlags |= 0x08;
}

void VirtualMachine::SenseRequest() {
  const uint8_t cmd2 = port_.Rx.Cmd2();
  switch (cmd2) {
    case 0x0C:
      TimeReply(0x74, port_.Rx.Data(1) == 0x1E ? 0x1E : 0x04, port_.Position);
      return;
    case 0x10:
      TimeReply(0x74, 0x10, port_.MarkIn);
      return;
    case 0x11:
      TimeReply(0x74, 0x11, port_.MarkOut);
      return;
    case 0x20:
      StatusSense();
      return;
    case 0x30:
      EditPresetSense();
      return;
    case 0x36:
      port_.Tx[0] = 0x71;
      port_.Tx[1] = 0x36;
      port_.Tx[2] = 0x00;
      return;
    case 0x81:
      clips_.LsmIdReply(port_.Tx);
      return;
    case 0x82:
      clips_.FirstClipReply(port_.Tx);
      return;
    case 0x83:
      clips_.NextClipReply(0x82, port_.Tx);
      return;
    case 0x84:
    case 0x85:
      port_.Tx[0] = 0x70;
      port_.Tx[1] = 0x84;
      return;
    case 0x86:
    case 0x87:
      clips_.NextClipReply(0x86, port_.Tx);
      return;
    case 0x91:
      port_.Tx[0] = 0x74;
      port_.Tx[1] = 0x91;
      port_.Tx[2] = 0x03;
      port_.Tx[3] = 0x02;
      port_.Tx[4] = 0x01;
      port_.Tx[5] = 0x00;
      return;
    case 0xA0:
      clips_.SetClipIn(port_.Rx, panel_.vpoz);
      break;
    case 0xA1:
      clips_.SetClipOut(port_.Rx, panel_.vpoz);
      break;
    case 0xA2:
      clips_.AddClip(port_.Rx);
      break;
    case 0xA3:
    case 0xA4:
      break;
    case 0xA5:
      clips_.LoadLsmId();
      break;
    default:
      ShowUnhandled();
      break;
  }
  SetAck();
}

void VirtualMachine::TimeReply(uint8_t cmd1, uint8_t cmd2, int32_t frames) {
  port_.Tx[0] = cmd1;
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
  port_.Tx[0] = static_cast<uint8_t>(0x70 | count);
  port_.Tx[1] = 0x20;
  for (int i = 0; i < count; ++i) {
    port_.Tx[static_cast<std::size_t>(2 + i)] = port_.Status[static_cast<std::size_t>(start + i)];
  }
}

void VirtualMachine::EditPresetSense() {
  const int asked = port_.Rx.DataCount() >= 1 ? (port_.Rx.Data(1) & 0x0F) : 0;
  const int count = std::min(asked, kPresetSenseMax);
  port_.Tx[0] = static_cast<uint8_t>(0x70 | count);
  port_.Tx[1] = 0x30;
  if (count >= 1) port_.Tx[2] = presetByte_;
  for (int i = 1; i < count; ++i) {
    port_.Tx[static_cast<std::size_t>(2 + i)] = trackBytes_[static_cast<std::size_t>(i - 1)];
  }
}

void VirtualMachine::ChangeFlagsReply() {
  port_.Tx[0] = 0x96;
  port_.Tx[1] = 0x01;
  frms2Sony(port_.Position, port_.Standard, 2, port_.Tx.bytes.data());
  port_.Tx[6] = 0x00;
  port_.Tx[7] = port_.ChangeFlags;
  port_.ChangeFlags = 0;
}
