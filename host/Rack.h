// A rack of virtual machines on the engine host's loop: one RackMachine per entry, each on its
// own port, all ticked by the host's one frame tick. No machine or port has a thread of its own.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "RackMachine.h"

// The first of the COM numbers the rack's ports are known by inside the program.
constexpr int kRackSpareBase = 60100;

class Rack {
 public:
  // `changed` follows every exchange; `report` gets the machines' messages.
  Rack(const std::vector<RackEntry>& entries, const std::shared_ptr<OwnerLoop>& loop,
       const std::function<void()>& changed, const std::function<void(const std::string&)>& report);

  // Opens every machine's port; the ones that fail say so on their rows.
  void Open();
  void Close();
  void FrameTick();
  // The personalities' held-back replies: the earliest due, and writing those due.
  std::chrono::steady_clock::time_point NextDue() const;
  void Fire(std::chrono::steady_clock::time_point now);
  void SetDecoding(bool on);
  void FlushTraffic(Micros now);
  // Every machine's decoded lines, machine by machine.
  std::vector<std::string> TakeDecodedLines();
  bool HasDecodedLines() const;

  std::vector<RackRow> Rows() const;
  std::size_t Size() const { return machines_.size(); }
  RackMachine& Machine(std::size_t index) { return *machines_.at(index); }

 private:
  std::vector<std::unique_ptr<RackMachine>> machines_;
};
