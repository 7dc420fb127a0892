// Port A's side of a machine personality: stands between the virtual machine and the port.
//
// The engine still decides every reply; the shaper decides, as the engine's reply gate, which
// messages the engine runs at all (refused, ignored, swallowed and unknown commands are answered
// here and never executed), cuts status replies to the machine's status length, and plans how
// each reply leaves: after which delay, byte by byte or in two parts, with a wrong checksum or a
// stray byte before it, or not at all. The plan is a list of writes with their delays from the
// event's time; the owner carries them out on its loop's timers and never sleeps.
//
// The owner also keeps a timer at Deadline() and calls Expire() there: an incomplete message
// older than the personality's receive time-out is dropped (and NAKed when it says so).
// With the default personality every event's plan is its replies, at once, in one write.
#pragma once

#include <chrono>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "Personality.h"
#include "VirtualMachine.h"

using Micros = std::chrono::microseconds;

struct PlannedWrite {
  Micros delay{0};  // from the time given with the event
  Bytes bytes;
  bool operator==(const PlannedWrite&) const = default;
};

struct ShapedEvent {
  VmEventResult engine;  // what the engine made of the event (monitor lines, unshaped replies)
  std::vector<PlannedWrite> writes;
};

class ReplyShaper final : public VmReplyGate {
 public:
  explicit ReplyShaper(Personality personality = {});
  ~ReplyShaper() override;
  ReplyShaper(const ReplyShaper&) = delete;
  ReplyShaper& operator=(const ReplyShaper&) = delete;

  const Personality& Rules() const { return personality_; }

  // Gives the machine the personality's identity and starting status and becomes its gate.
  // Call it once the machine has its start-up identity (after FormShow).
  void Attach(VirtualMachine& vm);
  // The machine answers alone again (its identity and status stay as they are).
  void Detach();

  // Port A was opened: the swallowed commands and the fault schedules count from here.
  void PortOpened();

  // One data event of port A, at `now`.
  ShapedEvent DataAvailable(std::span<const uint8_t> bytes, const VmEventContext& context,
                            Micros now);
  // When an incomplete message becomes too old, if one is waiting and a time-out is set.
  std::optional<Micros> Deadline() const;
  // Drops an incomplete message older than the time-out; returns the NAK's writes when the
  // personality NAKs a time-out.
  std::vector<PlannedWrite> Expire(Micros now);

  // --- VmReplyGate -----------------------------------------------------------------------
  std::optional<SonyMessage> BadChecksum() override;
  VmGateAnswer Before(const SonyMessage& rx) override;
  void After(const SonyMessage& rx, SonyMessage& tx) override;

 private:
  VmGateAnswer Decide(const SonyMessage& rx) const;
  bool Strikes(int every, int request) const;
  void Plan(Bytes reply, int request, Micros now, std::vector<PlannedWrite>& writes);
  void PlanBytes(const Bytes& bytes, Micros& at, std::vector<PlannedWrite>& writes);
  void TrackIncomplete(int pendingBefore, const VmEventResult& result, Micros now);

  Personality personality_;
  VirtualMachine* vm_ = nullptr;
  std::mt19937_64 random_;
  int requests_ = 0;                   // requests since the port opened
  std::vector<int> exchangeRequests_;  // request number of each exchange of the running event
  std::optional<Micros> incompleteSince_;
  Micros busyUntil_{0};  // replies never overtake one another
};
