// One machine of a rack: a virtual machine on a port of its own, served on the engine host's
// loop like port A's machine, with its own transport, status, clips and change flags. Its port
// failing is its own trouble: the error is kept for its row and the rest of the rack goes on.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "OwnerLoop.h"
#include "PortAShaping.h"
#include "RackFile.h"
#include "RackRow.h"
#include "SerialPort.h"
#include "TrafficRecorder.h"
#include "VirtualMachine.h"

class RackMachine {
 public:
  RackMachine(RackEntry entry, int spareNumber, std::shared_ptr<OwnerLoop> loop);
  RackMachine(const RackMachine&) = delete;
  RackMachine& operator=(const RackMachine&) = delete;

  // Opens the port; a failure is kept as the row's error, never thrown.
  void Open();
  void Close();
  // Frames run at the interval of the machine's own standard (or `tick`, when given), each
  // machine on its own deadline of the host's one loop; machines of one standard tick together.
  void StartFrames(std::chrono::steady_clock::time_point start,
                   std::optional<std::chrono::milliseconds> tick);
  std::chrono::steady_clock::time_point NextFrame() const { return nextFrame_; }
  // Decoded lines of this machine's traffic, each prefixed with its name.
  void SetDecoding(bool on) { traffic_.SetDecoding(on); }
  std::vector<std::string> TakeDecodedLines();
  bool HasDecodedLines() const { return traffic_.HasDecodedLines(); }
  void FlushTraffic(Micros now) { traffic_.Flush(now); }
  // Records into `sink` under the machine's name, after a comment naming the machine.
  void ShareCapture(std::shared_ptr<CaptureSink> sink);
  // Rx/Tx monitor lines of every exchange, prefixed with the name, to OnMonitorLines.
  void SetShowComs(bool on) { showComs_ = on; }
  // Replies the personality holds back: when they fall due, and writing them.
  std::optional<std::chrono::steady_clock::time_point> NextDue() const {
    return shaping_.NextDue();
  }
  // Writes the replies and runs the frame that fell due; whether a frame ran.
  bool Fire(std::chrono::steady_clock::time_point now);

  RackRow Row(std::chrono::steady_clock::time_point now) const;
  const RackEntry& Entry() const { return entry_; }
  VirtualMachine& Machine() { return vm_; }
  TSerialPort& Port() { return port_; }

  // Called on the loop after each exchange, so the owner can publish.
  std::function<void()> OnChange;
  // A message for the user, naming the machine.
  std::function<void(const std::string&)> OnError;
  std::function<void(std::vector<std::string>)> OnMonitorLines;

 private:
  void Data(uint16_t count);
  void Failed(const std::string& message);
  void Write(const Bytes& bytes);
  void FrameTick(std::chrono::steady_clock::time_point now);
  std::chrono::steady_clock::duration FrameInterval() const;
  // `lines`, each prefixed with the machine's name.
  std::vector<std::string> Named(std::vector<std::string> lines) const;

  RackEntry entry_;
  int spareNumber_;
  TSerialPort port_;
  VirtualMachine vm_;
  PortAShaping shaping_;
  TrafficRecorder traffic_;
  std::deque<std::chrono::steady_clock::time_point> recent_;  // requests of the last second
  std::chrono::steady_clock::time_point lastRequest_{};
  bool anyRequest_ = false;
  bool showComs_ = false;
  std::chrono::steady_clock::time_point nextFrame_ = std::chrono::steady_clock::time_point::max();
  std::optional<std::chrono::milliseconds> tick_;
  int errorCount_ = 0;
  std::string lastError_;
};
