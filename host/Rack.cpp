#include "Rack.h"

Rack::Rack(const std::vector<RackEntry>& entries, const std::shared_ptr<OwnerLoop>& loop,
           const RackHooks& hooks) {
  for (const RackEntry& entry : entries) {
    const int spare = kRackSpareBase + static_cast<int>(machines_.size());
    machines_.push_back(std::make_unique<RackMachine>(entry, spare, loop));
    machines_.back()->OnChange = hooks.changed;
    machines_.back()->OnError = hooks.report;
    machines_.back()->OnMonitorLines = hooks.monitor;
  }
}

void Rack::Open() {
  for (auto& machine : machines_) machine->Open();
}

void Rack::Close() {
  for (auto& machine : machines_) machine->Close();
}

void Rack::StartFrames(std::chrono::steady_clock::time_point start,
                       std::optional<std::chrono::milliseconds> tick) {
  for (auto& machine : machines_) machine->StartFrames(start, tick);
}

std::chrono::steady_clock::time_point Rack::NextDue() const {
  auto next = std::chrono::steady_clock::time_point::max();
  for (const auto& machine : machines_) {
    next = std::min(next, machine->NextFrame());
    if (const auto due = machine->NextDue()) next = std::min(next, *due);
  }
  return next;
}

bool Rack::Fire(std::chrono::steady_clock::time_point now) {
  bool framed = false;
  for (auto& machine : machines_) framed |= machine->Fire(now);
  return framed;
}

void Rack::SetDecoding(bool on) {
  for (auto& machine : machines_) machine->SetDecoding(on);
}

void Rack::SetShowComs(bool on) {
  for (auto& machine : machines_) machine->SetShowComs(on);
}

void Rack::ShareCapture(const std::shared_ptr<CaptureSink>& sink) {
  for (auto& machine : machines_) machine->ShareCapture(sink);
}

void Rack::FlushTraffic(Micros now) {
  for (auto& machine : machines_) machine->FlushTraffic(now);
}

std::vector<std::string> Rack::TakeDecodedLines() {
  std::vector<std::string> lines;
  for (auto& machine : machines_) {
    std::vector<std::string> own = machine->TakeDecodedLines();
    lines.insert(lines.end(), std::make_move_iterator(own.begin()),
                 std::make_move_iterator(own.end()));
  }
  return lines;
}

bool Rack::HasDecodedLines() const {
  for (const auto& machine : machines_)
    if (machine->HasDecodedLines()) return true;
  return false;
}

std::vector<RackRow> Rack::Rows() const {
  const auto now = std::chrono::steady_clock::now();
  std::vector<RackRow> rows;
  rows.reserve(machines_.size());
  for (const auto& machine : machines_) rows.push_back(machine->Row(now));
  return rows;
}
