// `selkietest --headless`: the virtual machine on port A and/or the controller on port B without
// a window. The same engines, the same replies and the same frame-tick rules as the window
// (Timer1 60 ms after start-up or --tick, Timer2 80 ms, CTS sync pulses), on the calling thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "FrameSync.h"
#include "MachineController.h"
#include "OwnerLoop.h"
#include "ProgramOptions.h"
#include "ProgramPorts.h"
#include "SerialPort.h"
#include "VirtualMachine.h"

// The COM number a --port-a/--port-b text stands for: "COMn" is n; a device path or
// "pty:<path>" is given the number `spareNumber` through the SELKIE_COM<n> mapping. Throws
// OptionsError for a text that names no port.
int ResolvePortArgument(const std::string& text, int spareNumber);

// One line of the controlled machine's state as a headless run prints it:
// "B 00:01:02:03 DA-88 PAL stop remote".
std::string ControllerStateLine(const MachineControlPanel& panel);

class HeadlessRunner {
 public:
  // `out` receives the monitor lines (--log) and the controller's state lines.
  HeadlessRunner(const ProgramOptions& options, std::ostream& out);
  ~HeadlessRunner();

  // Reads the settings (only with --settings), applies --machine/--standard and opens the ports.
  // Throws std::exception with a message for the user when a port cannot be opened.
  void Start();
  // Serves the ports until `stop` becomes true, then closes them.
  void Run(const std::atomic<bool>& stop);

  // Called at the end of every frame tick (benchmarks measure the tick's regularity with it).
  std::function<void()> OnFrameTick;

  const VirtualMachine& Machine() const { return vm_; }
  const MachineController& Controller() const { return controller_; }

 private:
  struct Timer {
    std::chrono::steady_clock::duration interval;
    std::chrono::steady_clock::time_point next;
  };

  void LoadSettings();
  void SaveSettings();
  void OpenPorts();
  void Wire();
  void PortAData(uint16_t count);
  void PortBData(uint16_t count);
  void ModemStatus(PortSide side);
  void FireTimers(std::chrono::steady_clock::time_point now);
  void Apply(const SyncStep& step, PortSide side);
  void FrameTick();
  void ReportController();
  // A port's message with the COM number a device path or pty: port was given replaced by the
  // text the user wrote.
  std::string InUserTerms(std::string message) const;

  ProgramOptions options_;
  std::ostream& out_;
  std::shared_ptr<OwnerLoop> loop_;
  TSerialPort serialA_;
  TSerialPort serialB_;
  ProgramPorts ports_;
  VirtualMachine vm_;
  MachineController controller_;
  FrameSync sync_;
  Timer timer1_;
  Timer timer2_;
  int32_t numberA_ = 0;
  int32_t numberB_ = 0;
  std::string lastControllerLine_;
};

// The whole headless run: signal handling (Ctrl-C and SIGTERM end it with status 0), messages on
// stderr; returns the exit status.
int RunHeadless(const ProgramOptions& options);
