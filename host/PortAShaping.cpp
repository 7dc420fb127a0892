#include "PortAShaping.h"

namespace {

Micros Since(PortAShaping::Clock::time_point time) {
  return std::chrono::duration_cast<Micros>(time.time_since_epoch());
}

}  // namespace

PortAShaping::PortAShaping(VirtualMachine& vm, Write write)
    : vm_(vm), write_(std::move(write)), shaper_(std::make_unique<ReplyShaper>()) {
  shaper_->Attach(vm_);
}

void PortAShaping::Use(const Personality& personality) {
  auto next = std::make_unique<ReplyShaper>(personality);
  next->Attach(vm_);
  shaper_ = std::move(next);
  shaper_->PortOpened();
}

void PortAShaping::PortOpened() { shaper_->PortOpened(); }

void PortAShaping::PortClosed() { planned_.clear(); }

PortAShaping::Event PortAShaping::DataAvailable(std::span<const uint8_t> bytes,
                                                const VmEventContext& context,
                                                Clock::time_point now) {
  ShapedEvent shaped = shaper_->DataAvailable(bytes, context, Since(now));
  Event event{std::move(shaped.engine), {}};
  Keep(shaped.writes, now, event.dueNow);
  return event;
}

// Writes due now go into `dueNow`; the rest wait in time order (a shaper never plans a write
// before one it planned earlier).
void PortAShaping::Keep(const std::vector<PlannedWrite>& writes, Clock::time_point now,
                        Bytes& dueNow) {
  for (const PlannedWrite& write : writes) {
    if (write.delay <= Micros(0) && planned_.empty()) {
      dueNow.insert(dueNow.end(), write.bytes.begin(), write.bytes.end());
    } else {
      planned_.push_back({now + write.delay, write.bytes});
    }
  }
}

std::optional<PortAShaping::Clock::time_point> PortAShaping::NextDue() const {
  std::optional<Clock::time_point> next;
  if (!planned_.empty()) next = planned_.front().at;
  if (const auto deadline = shaper_->Deadline()) {
    const Clock::time_point expiry{std::chrono::duration_cast<Clock::duration>(*deadline)};
    if (!next || expiry < *next) next = expiry;
  }
  return next;
}

void PortAShaping::Fire(Clock::time_point now) {
  Bytes due;
  while (!planned_.empty() && planned_.front().at <= now) {
    due.insert(due.end(), planned_.front().bytes.begin(), planned_.front().bytes.end());
    planned_.pop_front();
  }
  Keep(shaper_->Expire(Since(now)), now, due);
  if (!due.empty()) write_(due);
}
