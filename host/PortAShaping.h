// Port A's replies on the engine host's loop, as the machine's personality shapes them.
//
// Each data event goes through the personality's ReplyShaper: what is due at once is returned for
// the host to write as it always has; later writes wait here for the host's timer (NextDue, Fire),
// which also drops a too-old incomplete message. Nothing here sleeps, so a personality's delay
// never holds up port B, the frame tick or the window. With the default personality every reply
// is due at once and nothing waits.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "ReplyShaper.h"

class PortAShaping {
 public:
  using Clock = std::chrono::steady_clock;
  using Write = std::function<void(const Bytes&)>;

  // `write` sends bytes out of port A when a planned write falls due (host thread only).
  PortAShaping(VirtualMachine& vm, Write write);

  // The machine's personality from now on; its identity and starting status are applied now.
  // Replies already planned still go out.
  void Use(const Personality& personality);
  const Personality& Current() const { return shaper_->Rules(); }

  void PortOpened();
  // Planned writes are forgotten: the editor they were for has gone.
  void PortClosed();

  struct Event {
    VmEventResult result;  // the engine's (monitor lines; unshaped replies)
    Bytes dueNow;          // to write at once
  };
  Event DataAvailable(std::span<const uint8_t> bytes, const VmEventContext& context,
                      Clock::time_point now);

  // When Fire must run next, if anything waits.
  std::optional<Clock::time_point> NextDue() const;
  // Writes what has fallen due; drops an incomplete message that is too old.
  void Fire(Clock::time_point now);

 private:
  struct Planned {
    Clock::time_point at;
    Bytes bytes;
  };
  void Keep(const std::vector<PlannedWrite>& writes, Clock::time_point now, Bytes& dueNow);

  VirtualMachine& vm_;
  Write write_;
  std::unique_ptr<ReplyShaper> shaper_;
  std::deque<Planned> planned_;
};
