// HostCore's rack: the machines of a rack file served beside ports A and B on the same loop.
#include "HostCore.h"

void HostCore::MakeRack(const std::vector<RackEntry>& entries) {
  RackHooks hooks;
  hooks.changed = [this] { Publish(); };
  hooks.report = [this](const std::string& message) {
    Report(message);
    PublishNow();
  };
  hooks.monitor = [this](std::vector<std::string> lines) {
    std::lock_guard lock(outMutex_);
    for (std::string& line : lines) QueueLine(out_.monitorLines, std::move(line));
  };
  rack_ = std::make_unique<Rack>(entries, loop_, hooks);
  rack_->SetDecoding(traffic_.Decoding());
  // The window's comms monitor is port A's; only a headless --log prints the rack's lines.
  rack_->SetShowComs(config_.showComs);
  RackCapture();
}

void HostCore::StartRackFrames() {
  std::optional<std::chrono::milliseconds> tick;
  if (config_.timer1Ms) tick = std::chrono::milliseconds(*config_.timer1Ms);
  rack_->StartFrames(std::chrono::steady_clock::now(), tick);
}

void HostCore::OpenRack(const std::vector<RackEntry>& entries) {
  // The old machines' ports close before the new ones may want the same paths.
  if (rack_) rack_->Close();
  rack_.reset();
  MakeRack(entries);
  rack_->Open();
  StartRackFrames();
  Publish();
}

// A capture under way takes the rack's machines too, each under its name; that needs version 2.
void HostCore::RackCapture() {
  const std::shared_ptr<CaptureSink> sink = traffic_.Capture();
  if (!rack_ || !sink) return;
  sink->NeedVersion(2);
  rack_->ShareCapture(sink);
}

void HostCore::RackVm(std::size_t row, const std::function<void(VirtualMachine&)>& call) {
  if (!rack_ || row >= rack_->Size()) return;
  call(rack_->Machine(row).Machine());
  Publish();
}

void HostCore::RackEnterId(std::size_t row, const std::optional<std::string>& text) {
  if (!rack_ || row >= rack_->Size()) return;
  RackMachine& machine = rack_->Machine(row);
  if (const std::optional<std::string> error = machine.Machine().EnterID1Click(text))
    Report(machine.Entry().name + ": " + *error);
  Publish();
}
