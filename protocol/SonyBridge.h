// The bridge engine: selkietest between an editor (port A) and a machine (port B), passing every
// byte on unchanged, message by message, and recording what it saw. A plain class with no ports:
// the owner reads the ports, hands the bytes in with the time it read them, and writes what comes
// back at once.
//
//   SonyBridge bridge(now);
//   on port A data:  out = bridge.FromEditor(bytes, now)   write out.toMachine to port B
//   on port B data:  out = bridge.FromMachine(bytes, now)  write out.toEditor to port A
//   on a timer:      out = bridge.Poll(now)                 (both; every few milliseconds)
//   then add out.captureLines to a capture file and out.decodedLines to a monitor.
//
// A message is passed on once it is complete; a run of bytes with a bad checksum, or debris, is
// passed on too, once the next message starts or the line has been quiet for
// MessageFramer::kQuietGap, and is marked in the lines. Capture lines cover all four directions
// (A rx from the editor, B tx to the machine, B rx from the machine, A tx to the editor), with
// times from the bridge's start. Decoded lines are "A ..." and "B ..." monitor lines
// (DecodedMonitor.h); the reply to the editor adds the machine's own reply time and the time the
// bridge held the two messages.
//
// Per exchange (a message from the editor and the first message back from the machine that
// started after the request was passed on):
//   machine = first reply byte in from the machine - request passed on to the machine;
//   held    = (request passed on - its first byte in from the editor)
//           + (reply passed on - its first byte in from the machine),
// the time both messages waited in the bridge, mostly to come in whole: a message read at once
// is held 0 ms. Neither is the time a client sees, which adds the wires and the kernel.
// All times are the owner's clock (any origin, microseconds). One thread; no call blocks.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "CaptureFile.h"
#include "DecodedMonitor.h"
#include "MessageFramer.h"

struct BridgeOutput {
  std::vector<uint8_t> toEditor;   // write to port A
  std::vector<uint8_t> toMachine;  // write to port B
  std::vector<std::string> captureLines;
  std::vector<std::string> decodedLines;
};

struct BridgeExchange {
  Micros machineReplyTime{0};
  Micros bridgeDelay{0};
};

class SonyBridge {
 public:
  explicit SonyBridge(Micros started);

  BridgeOutput FromEditor(std::span<const uint8_t> bytes, Micros at);
  BridgeOutput FromMachine(std::span<const uint8_t> bytes, Micros at);
  BridgeOutput Poll(Micros now);

  // Every exchange completed so far, in order.
  const std::vector<BridgeExchange>& Exchanges() const { return exchanges_; }
  // "12 exchanges  machine: n 12  min ...  held: n 12  min ..."
  std::string Summary() const;

 private:
  struct Pending {
    Micros requestIn;  // first byte from the editor
    Micros forwarded;  // passed on to the machine
  };

  void ToMachine(const Frame& frame, Micros at, BridgeOutput& out);
  void ToEditor(const Frame& frame, Micros at, BridgeOutput& out);

  MessageFramer fromEditor_;
  MessageFramer fromMachine_;
  CaptureLines capture_;
  DecodedMonitor monitorA_;
  DecodedMonitor monitorB_;
  std::optional<Pending> pending_;
  std::vector<BridgeExchange> exchanges_;
};
