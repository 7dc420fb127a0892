// The program's two serial ports and what the window (or a headless run) does with them: the
// port settings, opening with the one-time fallback to the "Select Port" prompt, closing, the
// CTS sync watch, the DTR/RTS outputs and the DSR/DCD/RI input lamps. No widgets: the owner
// mirrors the results onto its controls.
#pragma once

#include <cstdint>

#include "SerialPort.h"

enum class PortSide { A, B };

// The settings both ports use: 38400 baud, odd parity, 8 data bits, 1 stop bit, 4096-byte
// queues, no flow control, never opened implicitly, a prompt when the number is 0.
void ConfigureProgramPort(TSerialPort& port);

// Opens `port` on COM `number`. Any error of this first try is silent: the port is closed and
// opened again with number 0, which asks the user for a port; an error of that second try
// propagates. A port that may not prompt (PromptForPort false) propagates the first error. Then a
// modem-status watch is added and its handle stored in `watchHandle` (an error there is ignored).
// Returns the COM number finally in use. A watch already held by an open port is removed before the
// port is closed, so re-choosing a port never piles up watches.
int OpenPortWithFallback(TSerialPort& port, uint16_t& watchHandle, int number);

// Input lamps of the GPO panel.
struct LineLamps {
  bool dsrA = false, dcdA = false, riA = false;
  bool dsrB = false, dcdB = false, riB = false;

  bool operator==(const LineLamps&) const = default;
};

class ProgramPorts {
 public:
  // The CTS line: a frame pulse on it paces the program (mask of the sync watch).
  static constexpr uint8_t kSyncMask = kModemCTS;

  // The ports are configured here; they stay owned by the caller.
  ProgramPorts(TSerialPort& a, TSerialPort& b);

  TSerialPort& Port(PortSide side) { return side == PortSide::A ? a_ : b_; }
  bool IsOpen(PortSide side) { return Port(side).Open(); }

  // OpenPortA/B: `storedNumber` := OpenPortWithFallback(port, handle, `storedNumber`), then the
  // sync watch is armed. Errors of the second try propagate with `storedNumber` unchanged.
  void OpenPort(PortSide side, int32_t& storedNumber);
  // ComA1Click/ComB1Click: always asks for a port; the watch is armed by the next timer tick.
  void ChoosePort(PortSide side, int32_t& storedNumber);
  // ClosePortA/B: removes the sync watch (errors ignored) and closes.
  void ClosePort(PortSide side);
  // Reset: both ports closed at once, watches kept (they come back when the ports reopen).
  void DropBoth();

  // Arms the port's sync watch again; does nothing on a closed port, and errors are ignored (a
  // tick must not fail because a watch could not be armed).
  void ArmSyncWatch(PortSide side);
  // The port's delta-CTS and CTS, read in that order (reading clears delta-CTS).
  struct CtsState {
    bool changed = false;
    bool on = false;
  };
  CtsState ReadCts(PortSide side);

  // dtra/rtsa/DTRB/rtsb: invert the output; returns the button's new lamp (lit = output off).
  bool ToggleDTR(PortSide side);
  bool ToggleRTS(PortSide side);
  // The output lamps as the buttons show them (lit = output off).
  bool DTRLamp(PortSide side) { return !Port(side).DTR(); }
  bool RTSLamp(PortSide side) { return !Port(side).RTS(); }

  // The last duty of the frame tick; a closed port reads all lines off.
  LineLamps ReadLineLamps();

 private:
  uint16_t& Handle(PortSide side) { return side == PortSide::A ? handleA_ : handleB_; }

  TSerialPort& a_;
  TSerialPort& b_;
  uint16_t handleA_ = 0;
  uint16_t handleB_ = 0;
};
