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
    if (list == &HostOutput::diagnostics || list == &HostOutput::errors) {
      (out_.*list).push_back(std::move(line));
    } else {
      QueueLine(out_.*list, std::move(line));
    }
  }
  Publish();
}

// A front end that does not keep up (a headless run whose standard output is not read) must not
// make the host grow: past kMaxQueuedLines, lines are dropped and counted. Needs outMutex_.
void HostCore::QueueLine(std::vector<std::string>& queue, std::string&& line) {
  if (out_.monitorLines.size() + out_.decodedLines.size() + out_.controllerLines.size() >=
      kMaxQueuedLines) {
    ++droppedLines_;
    return;
  }
  queue.push_back(std::move(line));
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
  if (droppedLines_ > 0) {
    taken.diagnostics.push_back(std::to_string(droppedLines_) +
                                " lines were dropped: they came faster than they were taken");
    droppedLines_ = 0;
  }
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
  s.linkA = healthA_;
  s.linkA.checksumErrors = vm_.Port().ChecksumErrors;
  s.linkB = controller_.Health();
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
  s.capturePath = traffic_.CapturePath();
  s.bridging = bridge_.has_value();
  s.actionsDone = actionsDone_;
  if (rack_) s.rack = rack_->Rows();
  return s;
}
