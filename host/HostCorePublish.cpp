// HostCore's output: lines and messages queued as they come, snapshots at display rate.
#include "HostCore.h"

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

void HostCore::Report(const std::string& message) {
  {
    std::lock_guard lock(outMutex_);
    out_.errors.push_back(message);
  }
  PublishNow();
}

void HostCore::ReportPortError(PortSide side, const std::exception& e) {
  Report(Port(side).DisplayName() + ": " + e.what());
}

void HostCore::Note(std::string line, std::vector<std::string> HostOutput::*list) {
  {
    std::lock_guard lock(outMutex_);
    (out_.*list).push_back(std::move(line));
  }
  Publish();
}

void HostCore::Publish() {
  if (dirty_) return;
  dirty_ = true;
  // A short wait lets a burst of exchanges finish before the snapshot is taken.
  publishAt_ = std::max(Clock::now() + kPublishSettle, lastPublish_ + kPublishInterval);
}

void HostCore::PublishNow() {
  dirty_ = true;
  publishAt_ = Clock::now();
  PublishDue(publishAt_);
}

void HostCore::PublishDue(Clock::time_point now) {
  if (!dirty_ || now < publishAt_) return;
  dirty_ = false;
  lastPublish_ = now;
  CollectTraffic();
  HostSnapshot snapshot = MakeSnapshot();
  const bool changed = !published_ || !(snapshot == *published_);
  bool wake = false;
  {
    std::lock_guard lock(outMutex_);
    if (changed) out_.snapshot = snapshot;
    const bool waiting = out_.snapshot || !out_.monitorLines.empty() ||
                         !out_.controllerLines.empty() || !out_.decodedLines.empty() ||
                         !out_.errors.empty() || !out_.diagnostics.empty() || out_.portQuestion;
    wake = waiting && !wakePending_;
    if (wake) wakePending_ = true;
  }
  if (changed) published_ = std::move(snapshot);
  if (wake && wake_) wake_();
}

HostOutput HostCore::TakeOutput() {
  std::lock_guard lock(outMutex_);
  HostOutput taken = std::move(out_);
  out_ = {};
  wakePending_ = false;
  return taken;
}

HostSnapshot HostCore::MakeSnapshot() const {
  HostSnapshot s;
  s.record = record_;
  s.vm = vm_.Panel();
  s.clips = vm_.Clips();
  s.vmPanelKeysActive = vm_.PanelKeysActive();
  s.enterIdText = vm_.EnterIdInitialText();
  s.personality = shapingA_.Current().name;
  s.controller = controller_.Panel();
  const auto port = [this](PortSide side) {
    const TSerialPort& p = side == PortSide::A ? serialA_ : serialB_;
    return HostPortState{p.Open(), p.ComNumber(), !p.DTR(), !p.RTS()};
  };
  s.portA = port(PortSide::A);
  s.portB = port(PortSide::B);
  s.lines = lines_;
  s.openLit = openLit_;
  s.closeLit = closeLit_;
  s.syncA = sync_.SyncA();
  s.syncB = sync_.SyncB();
  s.syncACaption = sync_.SyncACaption();
  s.syncBCaption = sync_.SyncBCaption();
  s.lostLock = sync_.LostLock();
  s.timer1Ms = timer1Ms_;
  s.timer2Ms = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(timer2_.interval).count());
  s.settingsLoaded = loaded_;
  s.capturing = traffic_.Capturing();
  s.bridging = bridge_.has_value();
  s.actionsDone = actionsDone_;
  if (rack_) s.rack = rack_->Rows();
  return s;
}
