// HostCore's rack: the machines of a rack file served beside ports A and B on the same loop.
#include "HostCore.h"

void HostCore::MakeRack(const std::vector<RackEntry>& entries) {
  rack_ = std::make_unique<Rack>(
      entries, loop_, [this] { Publish(); },
      [this](const std::string& message) {
        Report(message);
        PublishNow();
      });
  rack_->SetDecoding(traffic_.Decoding());
}

void HostCore::OpenRack(const std::vector<RackEntry>& entries) {
  // The old machines' ports close before the new ones may want the same paths.
  if (rack_) rack_->Close();
  rack_.reset();
  MakeRack(entries);
  rack_->Open();
  Publish();
}

void HostCore::RackVm(std::size_t row, const std::function<void(VirtualMachine&)>& call) {
  if (!rack_ || row >= rack_->Size()) return;
  call(rack_->Machine(row).Machine());
  Publish();
}

void HostCore::RackTick() {
  if (!rack_) return;
  rack_->FrameTick();
  Publish();  // time codes, rates and ages move with the tick
}
