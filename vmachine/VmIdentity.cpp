// Who the virtual machine claims to be: identity, entered ID, standard, unit number and tracks.
#include "VirtualMachine.h"

bool VirtualMachine::DA881Click(int machineType) {
  if (machineType < 0 || machineType >= kMachineTypes || machineType == machineType_) {
    return false;
  }
  machineType_ = machineType;
  ApplyMachineType();
  port_.ChangeFlags |= sony::kChangedIdentity;
  return true;
}

void VirtualMachine::ApplyMachineType() {
  extendedIdReply_ = false;
  panel_.clipPanelsVisible = machineType_ == kClipServerMachineType;
  // A type outside the menu can only come from a damaged settings record: keep the ID as is.
  if (machineType_ < 0 || machineType_ >= kMachineTypes) return;
  const MachineIdentity& identity = IdentityOf(machineType_);
  port_.DeviceId = identity.deviceId;
  panel_.machineChecked = machineType_;
  extendedIdReply_ = identity.extendedIdReply;
}

std::optional<std::string> VirtualMachine::EnterID1Click(
    const std::optional<std::string>& dialogText) {
  const std::string text = dialogText.value_or(EnterIdInitialText());
  const std::optional<int32_t> value = ParseWholeNumber(text);
  if (!value) {
    return "'" + text +
           "' is not a valid whole number: enter it in decimal (61486) or in hexadecimal after $ "
           "or 0x ($F02E, 0xF02E)";
  }
  port_.DeviceId = DeviceIdFromValue(*value);
  panel_.machineChecked = kEnterIdItem;
  extendedIdReply_ = false;
  return std::nullopt;
}

bool VirtualMachine::N24P1Click(int standard) {
  if (standard < 0 || standard > 3) return false;
  port_.Standard = static_cast<uint8_t>(standard);
  ApplyStandard();
  return true;
}

void VirtualMachine::ApplyStandard() {
  const StandardInfo& info = StandardOf(port_.Standard);
  panel_.standardChecked = port_.Standard <= 2 ? port_.Standard : 3;
  panel_.standardPanelText = std::string(info.panelText);
  panel_.timer1IntervalMs = info.timer1IntervalMs;
}

bool VirtualMachine::None1Click(int tag) {
  if (!IsMcnNoTag(tag)) return false;
  mcnNoTag_ = tag;
  panel_.mcnNoChecked = tag;
  unitTracksByte_ = static_cast<uint8_t>(mcnNoTag_ + tracksTag_);
  return true;
}

bool VirtualMachine::Normal1Click(int tag) {
  if (!IsTracksTag(tag)) return false;
  tracksTag_ = tag;
  panel_.tracksChecked = tag;
  unitTracksByte_ = static_cast<uint8_t>(mcnNoTag_ + tracksTag_);
  return true;
}
