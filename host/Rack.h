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

// What the machines tell their owner, on the loop.
struct RackHooks {
  std::function<void()> changed;                          // after every exchange
  std::function<void(const std::string&)> report;         // a machine's message for the user
  std::function<void(std::vector<std::string>)> monitor;  // Rx/Tx lines, with SetShowComs
};

class Rack {
 public:
  Rack(const std::vector<RackEntry>& entries, const std::shared_ptr<OwnerLoop>& loop,
       const RackHooks& hooks);

  // Opens every machine's port; the ones that fail say so on their rows.
  void Open();
  void Close();
  // Starts every machine's frames from `start`; `tick` replaces the standards' intervals.
  void StartFrames(std::chrono::steady_clock::time_point start,
                   std::optional<std::chrono::milliseconds> tick);
  // The earliest of the machines' frames and the personalities' held-back replies, and running
  // those due; whether a frame ran.
  std::chrono::steady_clock::time_point NextDue() const;
  bool Fire(std::chrono::steady_clock::time_point now);
  void SetDecoding(bool on);
  // Each machine's Rx/Tx monitor lines, prefixed with its name, go to the monitor hook.
  void SetShowComs(bool on);
  // Every machine records into `sink` under its name (null: none).
  void ShareCapture(const std::shared_ptr<CaptureSink>& sink);
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
