// The virtual transport: the commands that move it, the status bits it reports and the lamps and
// texts of the panel's transport keys.
#include <algorithm>
#include <cstdlib>

#include "SpeedTable.h"
#include "VirtualMachine.h"
#include "TimecodeCalls.h"
#include "ZQTimeCodeDll.h"

namespace {

constexpr int32_t kPlaySpeed = 1000;
constexpr int32_t kWindSpeed = 70000;

// Speed in play speeds with two decimals ("1.00", "-0.10", "19.11"), rounded half away from zero.
std::string SpeedText(int32_t speed) {
  const int64_t hundredths = (std::llabs(static_cast<int64_t>(speed)) + 5) / 10;
  const int64_t fraction = hundredths % 100;
  return std::string(speed < 0 ? "-" : "") + std::to_string(hundredths / 100) + "." +
         (fraction < 10 ? "0" : "") + std::to_string(fraction);
}

uint8_t Lamp(bool lit) { return lit ? kLampLit : kLampOff; }

}  // namespace

void VirtualMachine::ResetTransport() {
  panel_.vstop = kLampOff;
  panel_.vplay = kLampOff;
  panel_.vrwd = kLampOff;
  panel_.vfwd = kLampOff;
  panel_.vrvsplay = kLampOff;
  port_.Status[7] = 0;
  port_.Status[2] &= 0x01;
}

void VirtualMachine::ExecuteTransport(uint8_t cmd2) {
  auto& s = port_.Status;
  const uint8_t speedByte = port_.Rx.Data(1);
  // Commands that start a new transport state: reset, then speed, S1 and S2 of their row.
  auto start = [&](int32_t speed, uint8_t s1, uint8_t s2) {
    ResetTransport();
    speed_ = speed;
    s[1] = s1;
    s[2] = s2;
  };
  switch (cmd2) {
    case 0x00: start(0, 0xA0, s[2] & 0x01); break;
    case 0x01: start(kPlaySpeed, 0x81, 0x80); panel_.vedit = kLampOff; break;
    case 0x02:
      start(kPlaySpeed, 0x81, 0x80);
      panel_.vedit = kLampLit;
      ShowVmTrackLamps();
      break;
    case 0x10: start(kWindSpeed, 0x84, 0x00); break;
    case 0x11: start(SpeedOf(speedByte), 0x80, 0x10); break;
    case 0x12: start(SpeedOf(speedByte), 0x80, 0x08); break;
    case 0x13: start(SpeedOf(speedByte), 0x80, 0x20); break;
    case 0x20: start(-kWindSpeed, 0x88, 0x00); break;
    case 0x21: start(-SpeedOf(speedByte), 0x80, 0x14); break;
    case 0x22: start(-SpeedOf(speedByte), 0x80, 0x0C); break;
    case 0x23: start(-SpeedOf(speedByte), 0x80, 0x24); break;
    case 0x31:
      start(0, 0xA0, 0x01);
      port_.Position = Sony2frms(port_.Rx.bytes.data(), 2, port_.Standard);
      break;
    case 0x37: s[7] = 0x10; break;
    case 0x60: s[4] &= static_cast<uint8_t>(~0x40); break;
    case 0x61: s[4] |= 0x40; break;
    case 0x64: panel_.vedit = kLampOff; break;
    case 0x65: panel_.vedit = Lamp(speed_ == kPlaySpeed); break;
    case 0x82: clips_.SelectClip(port_.Rx); break;
    default: break;
  }
  FinishTransport();
}

void VirtualMachine::FinishTransport() {
  auto& s = port_.Status;
  if (speed_ != kPlaySpeed) panel_.vedit = kLampOff;
  const bool editing = panel_.vedit != kLampOff;
  panel_.vOff = Lamp(!editing);
  if (editing) {
    s[1] |= 0x02;
    s[4] |= 0x10;
  } else {
    s[1] &= static_cast<uint8_t>(~0x02);
    s[4] &= static_cast<uint8_t>(~0x10);
  }
  if (panel_.qall) s[2] |= 0x01;
  port_.Cued = (s[2] & 0x01) != 0;
  panel_.vcued = Lamp(port_.Cued);
  if (speed_ < 0) s[2] |= 0x04;
  DecodeStatus(port_);
  if (!panel_.nostill) {
    s[2] &= static_cast<uint8_t>(~0x02);
  } else if (speed_ == 0) {
    s[2] |= 0x02;
  }
  port_.Still = (s[2] & 0x02) != 0;
  panel_.vlocked = Lamp((s[2] & 0x80) != 0);
  panel_.vtally = port_.TallyText;
  LightTransportLamps();
  if (speed_ != 0) panel_.vtally += " " + SpeedText(speed_);
}

void VirtualMachine::LightTransportLamps() {
  switch (port_.TransportMode) {
    case 1:
    case 3: panel_.vplay = kLampLit; break;
    case 4: panel_.vfwd = kLampLit; break;
    case 8: panel_.vrwd = kLampLit; break;
    case 32: panel_.vstop = kLampLit; break;
    default: break;
  }
  uint8_t& directionKey = port_.Forward ? panel_.vplay : panel_.vrvsplay;
  switch (port_.SpeedMode) {
    case 1: directionKey = kLampLit; break;
    case 2:
      panel_.vstop = kLampLit;
      directionKey = kLampLit;
      break;
    case 4: (port_.Forward ? panel_.vfwd : panel_.vrwd) = kLampLit; break;
    default: break;
  }
}

// Cx 4A: play forward or reverse, optionally located first; it sets the transport directly.
void VirtualMachine::PlayWithOptions() {
  const uint8_t mode = port_.Rx.Data(1);
  ResetTransport();
  std::string text;
  if ((mode & 0x08) != 0) {
    speed_ = -kPlaySpeed;
    port_.Status[1] = 0x81;
    port_.Status[2] = 0x0C;
    panel_.vrvsplay = kLampLit;
    text = "Rvs Play ";
  } else {
    speed_ = kPlaySpeed;
    port_.Status[1] = 0x81;
    port_.Status[2] = 0x80;
    panel_.vplay = kLampLit;
    text = "Play ";
  }
  text += (mode & 0x01) != 0 ? "with audio" : "no audio";
  if (mode == 0x04) {
    port_.Position = Sony2frms(port_.Rx.bytes.data(), 3, port_.Standard);
    text = "goto " + text;
  } else if (mode == 0x10 || mode == 0x18) {
    const uint32_t raw = static_cast<uint32_t>(port_.Rx.Data(2)) |
                         static_cast<uint32_t>(port_.Rx.Data(3)) << 8 |
                         static_cast<uint32_t>(port_.Rx.Data(4)) << 16 |
                         static_cast<uint32_t>(port_.Rx.Data(5)) << 24;
    const auto offset = static_cast<int32_t>(raw);
    const bool subtract = mode == 0x18 && panel_.rvslockdir;
    // Wrapping 32-bit arithmetic; the time-code library folds the result into the day.
    const uint32_t position = static_cast<uint32_t>(port_.Position);
    port_.Position = static_cast<int32_t>(subtract ? position - raw : position + raw);
    text = "Ofst " + text + std::to_string(offset);
  }
  panel_.vtally = text;
}

void VirtualMachine::vplayClick(int tag) {
  if (mode_ == VmMode::Remote) return;
  if (tag != kTagStop && tag != kTagPlay && tag != kTagFwd && tag != kTagRwd &&
      tag != kTagRvsPlay && tag != kTagOff && tag != kTagEdit) {
    return;
  }
  port_.Rx[2] = 0x40;  // the speed byte of play speed
  ExecuteTransport(static_cast<uint8_t>(tag));
}

void VirtualMachine::vgotoClick(const std::optional<std::string>& keypadText) {
  if (mode_ == VmMode::Remote) return;
  if (keypadText) {
    ResetTransport();
    speed_ = 0;
    port_.Status[1] = 0xA0;
    port_.Status[2] = 0x01;
    port_.Position = timecode_calls::TextToFrames(*keypadText, port_.Standard);
  }
  ExecuteTransport(0x00);
}

void VirtualMachine::vlocalClick() {
  switch (mode_) {
    case VmMode::Both:
      mode_ = VmMode::Remote;
      panel_.vlocal = 3;
      panel_.vlocalCaption = "Remote";
      break;
    case VmMode::Remote:
      mode_ = VmMode::Local;
      panel_.vlocal = 0;
      panel_.vlocalCaption = "local";
      break;
    case VmMode::Local:
      mode_ = VmMode::Both;
      panel_.vlocal = 1;
      panel_.vlocalCaption = "both";
      break;
  }
  port_.Remote = mode_ != VmMode::Local;
  if (port_.Remote) {
    port_.Status[0] &= static_cast<uint8_t>(~0x01);
  } else {
    port_.Status[0] |= 0x01;
  }
}

void VirtualMachine::recinhibitClick(bool checked) {
  panel_.recinhibit = checked;
  if (checked) {
    port_.Status[8] |= 0x01;
  } else {
    port_.Status[8] &= static_cast<uint8_t>(~0x01);
  }
}

void VirtualMachine::qallClick(bool checked) { panel_.qall = checked; }

void VirtualMachine::nostillClick(bool checked) { panel_.nostill = checked; }

void VirtualMachine::nostatusClick(bool checked) { panel_.nostatus = checked; }

void VirtualMachine::rvslockdirClick() { panel_.rvslockdir = !panel_.rvslockdir; }
