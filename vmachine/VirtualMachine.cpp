#include "VirtualMachine.h"

#include <algorithm>

#include "TimecodeCalls.h"
#include "ZQTimeCodeDll.h"

Bytes VmEventResult::ReplyBytes() const {
  Bytes all;
  for (const VmExchange& exchange : exchanges) {
    all.insert(all.end(), exchange.reply.begin(), exchange.reply.end());
  }
  return all;
}

std::vector<std::string> VmEventResult::MonitorLines() const {
  std::vector<std::string> lines;
  for (const VmExchange& exchange : exchanges) {
    for (const std::string* line : {&exchange.rxLine, &exchange.commandLine, &exchange.txLine}) {
      if (!line->empty()) lines.push_back(*line);
    }
  }
  return lines;
}

VirtualMachine::VirtualMachine() {
  port_.Remote = true;
  for (int i = 0; i < kTrackKeys; ++i) {
    panel_.rrCaption[static_cast<std::size_t>(i)] = std::to_string(i + 1);
  }
  ApplyStandard();
}

void VirtualMachine::RestoreSettings(const VmSettings& settings) {
  port_.Standard = std::min<uint8_t>(settings.Standard, 3);
  machineType_ = settings.MachineType;
  unitTracksByte_ = settings.UnitTracksByte;
  extendedIdReply_ = settings.ExtendedIdReply;
}

void VirtualMachine::FormShow() {
  clips_.ResetLoadId();
  ApplyMachineType();
  ApplyStandard();
  port_.ChangeFlags = 1;
}

VmSettings VirtualMachine::Settings() const {
  return {port_.Standard, machineType_, unitTracksByte_, extendedIdReply_};
}

VmEventResult VirtualMachine::DataAvailable(std::span<const uint8_t> bytes,
                                            const VmEventContext& context) {
  VmEventResult result;
  if (!ReceiveBytes(port_, bytes)) {
    result.inputDiscarded = true;
    return result;
  }
  // Every complete message of the event is answered now, in order: one left waiting would make
  // every later reply answer the request before it.
  for (;;) {
    VmExchange exchange;
    if (RefusedBadChecksum(exchange, context)) {
      result.exchanges.push_back(std::move(exchange));
      continue;
    }
    if (!ExtractMessage(port_)) break;
    AnswerMessage(result.exchanges.emplace_back(), context);
  }
  RefreshChecksumLabel();
  return result;
}

int VirtualMachine::PendingBytes() const { return (port_.RxWrite - port_.RxRead) & kRingMask; }

bool VirtualMachine::RefusedBadChecksum(VmExchange& exchange, const VmEventContext& context) {
  if (gate_ == nullptr) return false;
  const int pending = PendingBytes();
  if (pending == 0) return false;
  auto at = [this](int offset) {
    return port_.RxRing[static_cast<std::size_t>((port_.RxRead + offset) & kRingMask)];
  };
  const int length = (at(0) & 0x0F) + 3;
  if (pending < length) return false;
  uint8_t sum = 0;
  for (int i = 0; i < length - 1; ++i) sum = static_cast<uint8_t>(sum + at(i));
  if (sum == at(length - 1)) return false;
  const std::optional<SonyMessage> reply = gate_->BadChecksum();
  if (!reply) return false;
  ++port_.ChecksumErrors;
  DropReceived(port_);
  if (!context.portOpen) return true;
  port_.Tx = *reply;
  exchange.reply = FrameTx(port_);
  if (context.showComs) exchange.txLine = port_.TxText;
  return true;
}

void VirtualMachine::AnswerMessage(VmExchange& exchange, const VmEventContext& context) {
  // Bytes past the checksum would be left over from an earlier message; a command read
  // without its data then reads zeros, never stale data.
  std::fill(port_.Rx.bytes.begin() + port_.Rx.Length(), port_.Rx.bytes.end(), uint8_t{0});
  if (context.showComs) exchange.rxLine = RxText(port_);
  const VmGateAnswer answer = gate_ != nullptr ? gate_->Before(port_.Rx) : VmGateAnswer{};
  if (answer.kind == VmGateAnswer::Kind::Execute) {
    Respond();
    if (gate_ != nullptr) gate_->After(port_.Rx, port_.Tx);
  } else if (answer.kind == VmGateAnswer::Kind::Reply) {
    port_.Tx = answer.reply;
  }
  if (context.monitorVisible && (port_.Rx.Cmd1() >> 4) == 0x2) {
    exchange.commandLine =
        HexBytes(std::span(port_.Rx.bytes.data(), static_cast<std::size_t>(port_.Rx.Length())));
  }
  if (!context.portOpen || answer.kind == VmGateAnswer::Kind::Silent) return;
  exchange.reply = FrameTx(port_);
  if (context.showComs) exchange.txLine = port_.TxText;
}

void VirtualMachine::RefreshChecksumLabel() {
  if (port_.ChecksumErrors == panel_.csumaTag) return;
  panel_.csumaTag = port_.ChecksumErrors;
  panel_.csuma = HexByte(port_.ChecksumErrors);
}

void VirtualMachine::FrameTick() {
  remainder_ += speed_;
  const int32_t frames = remainder_ / 1000;
  remainder_ -= frames * 1000;
  if (frames >= 0) {
    port_.Position = addfrms(port_.Position, frames, port_.Standard);
  } else {
    port_.Position = subfrms(port_.Position, -frames, port_.Standard);
  }
  port_.PositionText =
      timecode_calls::FramesToText(port_.Position, port_.Standard).substr(0, kPositionTextCapacity);
  panel_.vpoz = port_.PositionText;
}

void VirtualMachine::dd35clips1Click(int index) { clips_.ListClick(1, index); }

void VirtualMachine::dd35clips2Click(int index) { clips_.ListClick(2, index); }
