// The virtual transport: the commands that move it, the status bits it reports and the lamps and
// texts of the panel's transport keys.
#include <algorithm>
#include <cstdlib>

#include "SpeedTable.h"
#include "TimecodeCalls.h"
#include "VirtualMachine.h"
#include "ZQTimeCodeDll.h"

using namespace sony;

namespace {

// S1 of each transport state: the mode bit with standby on.
constexpr uint8_t kStopped = kS1Standby | kS1Stop;
constexpr uint8_t kPlaying = kS1Standby | kS1Play;
constexpr uint8_t kWindingFwd = kS1Standby | kS1FastFwd;
constexpr uint8_t kWindingRev = kS1Standby | kS1Rewind;
constexpr uint8_t kMoving = kS1Standby;  // jog, variable, shuttle

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
  port_.Status[2] &= kS2CueUp;
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
    case kStop:
      start(0, kStopped, s[2] & kS2CueUp);
      break;
    case kPlay:
      start(kPlaySpeed, kPlaying, kS2ServoLock);
      panel_.vedit = kLampOff;
      break;
    case kRecord:
      start(kPlaySpeed, kPlaying, kS2ServoLock);
      panel_.vedit = kLampLit;
      ShowVmTrackLamps();
      break;
    case kFastFwd:
      start(kWindSpeed, kWindingFwd, 0x00);
      break;
    case kJogFwd:
      start(SpeedOf(speedByte), kMoving, kS2Jog);
      break;
    case kVarFwd:
      start(SpeedOf(speedByte), kMoving, kS2Variable);
      break;
    case kShuttleFwd:
      start(SpeedOf(speedByte), kMoving, kS2Shuttle);
      break;
    case kRewind:
      start(-kWindSpeed, kWindingRev, 0x00);
      break;
    case kJogRev:
      start(-SpeedOf(speedByte), kMoving, kS2Jog | kS2Reverse);
      break;
    case kVarRev:
      start(-SpeedOf(speedByte), kMoving, kS2Variable | kS2Reverse);
      break;
    case kShuttleRev:
      start(-SpeedOf(speedByte), kMoving, kS2Shuttle | kS2Reverse);
      break;
    case kCueUpWithData:
      start(0, kStopped, kS2CueUp);
      port_.Position = Sony2frms(port_.Rx.bytes.data(), 2, port_.Standard);
      break;
    case kChaseOn:
      s[7] = kS7Chase;
      break;
    case kFullEeOff:
      s[4] &= static_cast<uint8_t>(~kS4FullEe);
      break;
    case kFullEeOn:
      s[4] |= kS4FullEe;
      break;
    case kEditOff:
      panel_.vedit = kLampOff;
      break;
    case kEditOn:
      panel_.vedit = Lamp(speed_ == kPlaySpeed);
      break;
    case kClipSelect:
      clips_.SelectClip(port_.Rx);
      break;
    default:
      break;
  }
  FinishTransport();
}

void VirtualMachine::FinishTransport() {
  auto& s = port_.Status;
  if (speed_ != kPlaySpeed) panel_.vedit = kLampOff;
  const bool editing = panel_.vedit != kLampOff;
  panel_.vOff = Lamp(!editing);
  if (editing) {
    s[1] |= kS1Record;
    s[4] |= kS4Edit;
  } else {
    s[1] &= static_cast<uint8_t>(~kS1Record);
    s[4] &= static_cast<uint8_t>(~kS4Edit);
  }
  if (panel_.qall) s[2] |= kS2CueUp;
  port_.Cued = (s[2] & kS2CueUp) != 0;
  panel_.vcued = Lamp(port_.Cued);
  if (speed_ < 0) s[2] |= kS2Reverse;
  DecodeStatus(port_);
  if (!panel_.nostill) {
    s[2] &= static_cast<uint8_t>(~kS2Still);
  } else if (speed_ == 0) {
    s[2] |= kS2Still;
  }
  port_.Still = (s[2] & kS2Still) != 0;
  panel_.vlocked = Lamp((s[2] & kS2ServoLock) != 0);
  panel_.vtally = port_.TallyText;
  LightTransportLamps();
  if (speed_ != 0) panel_.vtally += " " + SpeedText(speed_);
}

void VirtualMachine::LightTransportLamps() {
  switch (port_.TransportMode) {
    case 1:
    case 3:
      panel_.vplay = kLampLit;
      break;
    case 4:
      panel_.vfwd = kLampLit;
      break;
    case 8:
      panel_.vrwd = kLampLit;
      break;
    case 32:
      panel_.vstop = kLampLit;
      break;
    default:
      break;
  }
  uint8_t& directionKey = port_.Forward ? panel_.vplay : panel_.vrvsplay;
  switch (port_.SpeedMode) {
    case 1:
      directionKey = kLampLit;
      break;
    case 2:
      panel_.vstop = kLampLit;
      directionKey = kLampLit;
      break;
    case 4:
      (port_.Forward ? panel_.vfwd : panel_.vrwd) = kLampLit;
      break;
    default:
      break;
  }
}

// Cx 4A: play forward or reverse, optionally located first; it sets the transport directly.
void VirtualMachine::PlayWithOptions() {
  const uint8_t mode = port_.Rx.Data(1);
  ResetTransport();
  std::string text;
  if ((mode & kPlayOptionReverse) != 0) {
    speed_ = -kPlaySpeed;
    port_.Status[1] = kPlaying;
    port_.Status[2] = kS2Variable | kS2Reverse;
    panel_.vrvsplay = kLampLit;
    text = "Rvs Play ";
  } else {
    speed_ = kPlaySpeed;
    port_.Status[1] = kPlaying;
    port_.Status[2] = kS2ServoLock;
    panel_.vplay = kLampLit;
    text = "Play ";
  }
  text += (mode & kPlayOptionAudio) != 0 ? "with audio" : "no audio";
  if (mode == kPlayOptionGoto) {
    port_.Position = Sony2frms(port_.Rx.bytes.data(), 3, port_.Standard);
    text = "goto " + text;
  } else if (mode == kPlayOptionOffset || mode == kPlayOptionLockedOffset) {
    const uint32_t raw = static_cast<uint32_t>(port_.Rx.Data(2)) |
                         static_cast<uint32_t>(port_.Rx.Data(3)) << 8 |
                         static_cast<uint32_t>(port_.Rx.Data(4)) << 16 |
                         static_cast<uint32_t>(port_.Rx.Data(5)) << 24;
    const auto offset = static_cast<int32_t>(raw);
    const bool subtract = mode == kPlayOptionLockedOffset && panel_.rvslockdir;
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
  port_.Rx[2] = kPlaySpeedByte;
  ExecuteTransport(static_cast<uint8_t>(tag));
}

void VirtualMachine::vgotoClick(const std::optional<std::string>& keypadText) {
  if (mode_ == VmMode::Remote) return;
  if (keypadText) {
    ResetTransport();
    speed_ = 0;
    port_.Status[1] = kStopped;
    port_.Status[2] = kS2CueUp;
    port_.Position = timecode_calls::TextToFrames(*keypadText, port_.Standard);
  }
  ExecuteTransport(kStop);
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
    port_.Status[0] &= static_cast<uint8_t>(~kS0Local);
  } else {
    port_.Status[0] |= kS0Local;
  }
}

void VirtualMachine::recinhibitClick(bool checked) {
  panel_.recinhibit = checked;
  if (checked) {
    port_.Status[8] |= kS8RecInhibit;
  } else {
    port_.Status[8] &= static_cast<uint8_t>(~kS8RecInhibit);
  }
}

void VirtualMachine::qallClick(bool checked) { panel_.qall = checked; }

void VirtualMachine::nostillClick(bool checked) { panel_.nostill = checked; }

void VirtualMachine::nostatusClick(bool checked) { panel_.nostatus = checked; }

void VirtualMachine::rvslockdirClick() { panel_.rvslockdir = !panel_.rvslockdir; }
