#include "ReplyShaper.h"

#include <algorithm>

using namespace sony;

namespace {

// The stray byte of a garbage fault: no 9-pin message starts with it.
constexpr uint8_t kGarbageByte = 0xFF;

SonyMessage Nak(uint8_t bits) {
  SonyMessage nak;
  nak[0] = Cmd1(kSystemReply, 1);
  nak[1] = kNak;
  nak[2] = bits;
  return nak;
}

SonyMessage Ack() {
  SonyMessage ack;
  ack[0] = Cmd1(kSystemReply, 0);
  ack[1] = kAck;
  return ack;
}

Bytes Framed(const SonyMessage& message) {
  Bytes bytes(message.bytes.begin(), message.bytes.begin() + message.Length() - 1);
  bytes.push_back(Checksum(bytes.data(), bytes.size()));
  return bytes;
}

bool AnyMatches(const std::vector<CommandPattern>& patterns, const SonyMessage& rx) {
  return std::any_of(patterns.begin(), patterns.end(), [&rx](const CommandPattern& pattern) {
    return pattern.Matches(rx.Cmd1(), rx.Cmd2());
  });
}

// Writes due at the same time go out as one.
std::vector<PlannedWrite> Merged(std::vector<PlannedWrite> writes) {
  std::vector<PlannedWrite> merged;
  for (PlannedWrite& write : writes) {
    if (!merged.empty() && merged.back().delay == write.delay) {
      merged.back().bytes.insert(merged.back().bytes.end(), write.bytes.begin(), write.bytes.end());
    } else {
      merged.push_back(std::move(write));
    }
  }
  return merged;
}

}  // namespace

ReplyShaper::ReplyShaper(Personality personality)
    : personality_(std::move(personality)), random_(personality_.timing.seed) {}

ReplyShaper::~ReplyShaper() { Detach(); }

void ReplyShaper::Attach(VirtualMachine& vm) {
  Detach();
  vm_ = &vm;
  const PersonalityIdentity& identity = personality_.identity;
  if (identity.machine) vm.DA881Click(*identity.machine);
  if (identity.standard) vm.N24P1Click(*identity.standard);
  if (identity.deviceType) vm.Port().DeviceId = *identity.deviceType;
  if (personality_.status.local) {
    while (vm.Mode() != VmMode::Local) vm.vlocalClick();
  }
  for (const std::string& name : personality_.status.bits) {
    const StatusBitName* bit = FindStatusBit(name);
    if (bit == nullptr) continue;
    // The panel's check box is the truth of this bit.
    if (bit->byte == 8 && bit->mask == kS8RecInhibit) {
      vm.recinhibitClick(true);
    } else {
      vm.Port().Status[static_cast<std::size_t>(bit->byte)] |= bit->mask;
    }
  }
  vm.SetReplyGate(this);
}

void ReplyShaper::Detach() {
  if (vm_ != nullptr && vm_->ReplyGate() == this) vm_->SetReplyGate(nullptr);
  vm_ = nullptr;
}

void ReplyShaper::PortOpened() {
  requests_ = 0;
  incompleteSince_.reset();
}

ShapedEvent ReplyShaper::DataAvailable(std::span<const uint8_t> bytes,
                                       const VmEventContext& context, Micros now) {
  ShapedEvent shaped;
  if (vm_ == nullptr) return shaped;
  // A time-out that fell due before these bytes came drops the old bytes first, even when the
  // owner's timer has not run yet.
  std::vector<PlannedWrite> absolute;
  for (PlannedWrite& write : Expire(now)) {
    absolute.push_back({write.delay + now, std::move(write.bytes)});
  }
  exchangeRequests_.clear();
  const int pendingBefore = vm_->PendingBytes();
  shaped.engine = vm_->DataAvailable(bytes, context);
  TrackIncomplete(pendingBefore, shaped.engine, now);
  for (std::size_t i = 0; i < shaped.engine.exchanges.size(); ++i) {
    const Bytes& reply = shaped.engine.exchanges[i].reply;
    if (reply.empty() || i >= exchangeRequests_.size()) continue;
    Plan(reply, exchangeRequests_[i], now, absolute);
  }
  for (PlannedWrite& write : absolute) write.delay -= now;
  shaped.writes = Merged(std::move(absolute));
  return shaped;
}

void ReplyShaper::TrackIncomplete(int pendingBefore, const VmEventResult& result, Micros now) {
  if (vm_->PendingBytes() == 0) {
    incompleteSince_.reset();
  } else if (pendingBefore == 0 || !result.exchanges.empty() || !incompleteSince_) {
    // What is left came in this event: the message it starts is this old.
    incompleteSince_ = now;
  }
}

std::optional<Micros> ReplyShaper::Deadline() const {
  const int64_t timeout = personality_.timing.receiveTimeoutUs;
  if (timeout <= 0 || !incompleteSince_) return std::nullopt;
  return *incompleteSince_ + Micros(timeout);
}

std::vector<PlannedWrite> ReplyShaper::Expire(Micros now) {
  const std::optional<Micros> deadline = Deadline();
  if (vm_ == nullptr || !deadline || now < *deadline) return {};
  incompleteSince_.reset();
  // The owner may have dropped the bytes itself (the editor hung up): nothing to answer.
  if (vm_->PendingBytes() == 0) return {};
  vm_->PeerHungUp();
  if (!personality_.errors.nakTimeout) return {};
  // A time-out answers no request: it takes the machine's timing but no request's faults.
  std::vector<PlannedWrite> writes;
  Plan(Framed(Nak(kNakTimeOut)), 0, now, writes);
  for (PlannedWrite& write : writes) write.delay -= now;
  return Merged(std::move(writes));
}

std::optional<SonyMessage> ReplyShaper::BadChecksum() {
  if (!personality_.errors.nakChecksum) return std::nullopt;
  exchangeRequests_.push_back(++requests_);
  return Nak(kNakChecksumError);
}

VmGateAnswer ReplyShaper::Before(const SonyMessage& rx) {
  exchangeRequests_.push_back(++requests_);
  if (requests_ <= personality_.faults.swallowFirst) return {VmGateAnswer::Kind::Silent, {}};
  return Decide(rx);
}

VmGateAnswer ReplyShaper::Decide(const SonyMessage& rx) const {
  const PersonalityCommands& commands = personality_.commands;
  if (AnyMatches(commands.silent, rx)) return {VmGateAnswer::Kind::Silent, {}};
  for (const CommandRefusal& refusal : commands.nak) {
    if (refusal.command.Matches(rx.Cmd1(), rx.Cmd2())) {
      return {VmGateAnswer::Kind::Reply, Nak(refusal.bits)};
    }
  }
  if (commands.accept && !AnyMatches(*commands.accept, rx)) {
    return {VmGateAnswer::Kind::Reply,
            personality_.errors.nakUndefined ? Nak(kNakUnknownCommand) : Ack()};
  }
  if (AnyMatches(commands.ignore, rx)) return {VmGateAnswer::Kind::Reply, Ack()};
  return {};
}

void ReplyShaper::After(const SonyMessage& rx, SonyMessage& tx) {
  if (GroupOf(tx.Cmd1()) != kSenseReply || tx.Cmd2() != kStatusData) return;
  const int start = rx.DataCount() >= 1 ? rx.Data(1) >> 4 : 0;
  const int allowed = std::max(0, personality_.status.bytes - start);
  if (tx.DataCount() > allowed) tx[0] = Cmd1(kSenseReply, allowed);
}

bool ReplyShaper::Strikes(int every, int request) const {
  return every > 0 && request > 0 && request % every == 0;
}

void ReplyShaper::Plan(Bytes reply, int request, Micros now, std::vector<PlannedWrite>& writes) {
  const PersonalityTiming& timing = personality_.timing;
  const PersonalityFaults& faults = personality_.faults;
  Micros delay(timing.replyDelayUs);
  if (timing.replyJitterUs > 0) {
    delay +=
        Micros(static_cast<int64_t>(random_() % static_cast<uint64_t>(timing.replyJitterUs + 1)));
  }
  if (Strikes(faults.dropEvery, request)) return;
  if (Strikes(faults.badChecksumEvery, request)) reply.back() ^= 0xFF;
  if (Strikes(faults.garbageEvery, request)) reply.insert(reply.begin(), kGarbageByte);
  if (Strikes(faults.lateEvery, request)) delay += Micros(faults.lateUs);
  Micros at = std::max(now + delay, busyUntil_);
  if (Strikes(faults.splitEvery, request) && reply.size() > 1) {
    const auto half = static_cast<std::ptrdiff_t>(reply.size() / 2);
    PlanBytes(Bytes(reply.begin(), reply.begin() + half), at, writes);
    at += Micros(faults.splitGapUs);
    PlanBytes(Bytes(reply.begin() + half, reply.end()), at, writes);
  } else {
    PlanBytes(reply, at, writes);
  }
  busyUntil_ = at;
}

// Writes `bytes` after `at`; on a paced line each byte goes when the wire would have delivered
// it, one byte time after the one before. `at` ends when the line is free again.
void ReplyShaper::PlanBytes(const Bytes& bytes, Micros& at, std::vector<PlannedWrite>& writes) {
  const Micros byteTime(personality_.timing.byteTimeUs);
  if (byteTime.count() <= 0) {
    writes.push_back({at, bytes});
    return;
  }
  for (uint8_t byte : bytes) {
    at += byteTime;
    writes.push_back({at, {byte}});
  }
}
