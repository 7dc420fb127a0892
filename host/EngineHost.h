// EngineHost: the one owner of the program's ports and engines, on a thread of its own.
//
// It owns both serial ports and their management (ProgramPorts), the virtual machine of port A,
// the controller of port B, the two frame timers with the sync rules (FrameSync) and the settings
// record in memory. Its thread runs an OwnerLoop (the ports' event invoker) with timers on
// absolute deadlines, so port A's replies and the frame tick never wait for a window.
//
// Front ends (the window, the headless run) reach ports and engines through it alone:
//   - Post(action) queues a user action; it runs on the host thread, in order. An exception it
//     throws becomes a message for the user.
//   - After every change the host publishes: it calls the front end's `wake` (on the host
//     thread; it must not block) and the front end collects everything with TakeOutput().
//   - When a port must be chosen, the output carries a PortQuestion; the front end shows the
//     prompt and calls AnswerPort. Meanwhile the host keeps answering port A and ticking; queued
//     actions wait until the answer is in.
// Settings are written by a SettingsWriter thread, never on the host's or the GUI's thread.
//
// Traffic (EngineHostTraffic.cpp): every byte the host reads or writes on either port goes to a
// TrafficRecorder after the reply is out, for decoded monitor lines and a capture file. While
// bridging, the virtual machine and the controller stand aside and each message from the editor
// on port A is passed on to the machine on port B, and each reply back, unchanged.
#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "FrameSync.h"
#include "HostSnapshot.h"
#include "MachineController.h"
#include "OwnerLoop.h"
#include "ProgramPorts.h"
#include "SerialPort.h"
#include "SettingsFile.h"
#include "SettingsWriter.h"
#include "SonyBridge.h"
#include "TrafficRecorder.h"
#include "VirtualMachine.h"

struct EngineHostConfig {
  // Where the record is read and written; none: nothing is read or written.
  std::optional<std::filesystem::path> settingsPath;
  // A settings file that cannot be read ends the start (a headless run) instead of being reported
  // as a message, after which the run saves nothing to it (the window).
  bool settingsErrorsAreFatal = false;
  bool demo = false;          // ports A and B on the two ends of the virtual cable
  bool promptForPort = true;  // false: a port that cannot be opened is an error, never a question
  bool diagnostics = false;   // collect the ports' notes (e.g. a device that drops the parity)
  bool controllerLines = false;  // collect a state line each time the controlled machine changes
  bool showComs = false;         // port A's "Rx:" / "  Tx " monitor lines from the start
  bool decodedLines = false;     // decoded monitor lines of both ports from the start
  std::optional<std::string> capturePath;  // capture both ports' traffic to this file
  bool bridge = false;  // pass messages between ports A and B once the ports are open
  // Ports named on a command line (COMn, a device path or pty:<path>) instead of the record's.
  std::optional<std::string> portA;
  std::optional<std::string> portB;
  // Fixed timer intervals; without them Timer1 follows the standard and the layout, Timer2 80 ms.
  std::optional<int> timer1Ms;
  std::optional<int> timer2Ms;
  std::optional<int> machine;  // identity and standard instead of the record's
  std::optional<int> standard;
};

class EngineHost {
 public:
  using Action = std::function<void(EngineHost&)>;

  // `wake` is called on the host thread whenever output waits.
  EngineHost(EngineHostConfig config, std::function<void()> wake);
  ~EngineHost();  // Stop()
  EngineHost(const EngineHost&) = delete;
  EngineHost& operator=(const EngineHost&) = delete;

  // Starts the thread and loads the settings; returns when the first snapshot is published.
  // Throws SettingsError when settingsErrorsAreFatal and the file cannot be read.
  void Start();
  // The window has been shown, or the headless run begins: the machine's session starts, the
  // ports open, the settings are written. Errors are messages, or thrown when `rethrow` (the
  // headless run ends on them).
  void Show(bool rethrow);
  // Closes the ports, writes the last settings record and ends the thread. Idempotent.
  void Stop();

  // Queues an action for the host thread; returns its number (HostSnapshot::actionsDone reaches
  // it once it has run).
  uint64_t Post(Action action);
  // Runs `fn` on the host thread and waits for it, passing on its exception. For start-up,
  // close-down and tests; a window must not call it while a port question may be open.
  void Call(const Action& fn);
  HostOutput TakeOutput();
  // Waits until every settings record submitted so far has been written.
  void FlushSettings();
  void AnswerPort(uint64_t questionId, int answer);

  // --- Actions (run on the host thread, through Post) -------------------------------------------
  void open1Click();
  void close1Click();
  void Reset1Click();
  void ChoosePort(PortSide side);      // ComA1Click / ComB1Click
  void TogglePortOpen(PortSide side);  // coma2Click / comb2Click
  void ToggleDTR(PortSide side);
  void ToggleRTS(PortSide side);
  void lostlockClick();
  void ToggleView(uint8_t SettingsRecord::*flag);
  void SetWindowPlace(int left, int top);
  void SetMonitorState(bool showComs, bool visible);
  // Runs a call into an engine; `save` calls return true when a saved setting changed.
  void Vm(const std::function<void(VirtualMachine&)>& call);
  void VmSave(const std::function<bool(VirtualMachine&)>& call);
  void ChooseStandard(int tag);
  void EnterId(const std::optional<std::string>& text);
  void Mc(const std::function<void(MachineController&)>& call);
  // Capture to `path` (appended to), replacing a capture under way; errors are messages.
  void StartCapture(const std::string& path);
  void StopCapture();
  // Bridging needs both ports open; the bridge ends with a summary of its exchanges.
  void SetBridge(bool on);
  // The front end wants decoded monitor lines (the comms monitor's "Decode" box).
  void SetDecoding(bool on);

  // --- State (host thread only) ------------------------------------------------------------------
  const VirtualMachine& Machine() const { return vm_; }
  const MachineController& Controller() const { return controller_; }
  const SettingsRecord& Record() const { return record_; }
  TSerialPort& Port(PortSide side) { return side == PortSide::A ? serialA_ : serialB_; }

  // Called at the end of every frame tick on the host thread (benchmarks time the tick with it).
  std::function<void()> OnFrameTick;

 private:
  struct Timer {
    std::chrono::steady_clock::duration interval;
    std::chrono::steady_clock::time_point next;
    void Restart(std::chrono::steady_clock::time_point now) { next = now + interval; }
  };

  void ThreadMain();
  void RunOnce();
  void RunUntil(const std::function<bool()>& done);
  void DrainActions();
  void Run(const Action& action);
  void Wire();
  int AskPort(const std::vector<SerialSelectEntry>& entries);

  void Create();
  void ShowNow(bool rethrow);
  void ApplyDemoPorts();
  void LoadSettings();
  void SaveSettings();
  void OpenCommandLinePorts();
  void OpenPort(PortSide side);
  void ClosePort(PortSide side);
  void ApplyStandardInterval();
  void ApplyLayoutInterval();
  void SetTimerInterval(Timer& timer, int ms);

  void FireTimers(std::chrono::steady_clock::time_point now);
  void Apply(const SyncStep& step, PortSide side);
  void FrameTick();
  void PortAData(uint16_t count);
  void PortBData(uint16_t count);
  void ModemStatus(PortSide side);
  void RefreshPortStates();

  // EngineHostTraffic.cpp
  static Micros Now();
  void NotePortOpenings();
  void ArmTrafficTimer();
  bool TrafficTick();  // whether there are lines to publish
  void BridgeFromEditor(const std::vector<uint8_t>& bytes, Micros at);
  void BridgeFromMachine(const std::vector<uint8_t>& bytes, Micros at);
  void Forward(const BridgeOutput& output);
  void CollectTraffic();

  void Report(const std::string& message);
  void ReportPortError(PortSide side, const std::exception& e);
  void Publish();
  HostSnapshot MakeSnapshot() const;

  EngineHostConfig config_;
  std::function<void()> wake_;
  std::shared_ptr<OwnerLoop> loop_;
  TSerialPort serialA_;
  TSerialPort serialB_;
  ProgramPorts ports_;
  VirtualMachine vm_;
  MachineController controller_;
  FrameSync sync_;
  SettingsRecord record_;
  std::unique_ptr<SettingsWriter> writer_;
  bool loaded_ = false;  // the settings file existed
  LineLamps lines_;
  LinkHealth healthA_;
  Timer timer1_;
  Timer timer2_;
  Timer trafficTimer_;  // flushes the framers; polls the bridge
  TrafficRecorder traffic_;
  std::optional<SonyBridge> bridge_;
  Micros trafficOrigin_{0};  // start of the capture or the bridge, whichever came first
  bool decodeWanted_ = false;
  bool portAOpened_ = false;
  bool portBOpened_ = false;
  int timer1Ms_ = 60;
  bool showComs_ = false;
  bool monitorVisible_ = false;
  bool openLit_ = false;
  bool closeLit_ = false;
  std::string lastControllerLine_;
  int nested_ = 0;  // depth of waits for the user's answer
  uint64_t actionsDone_ = 0;

  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> closing_{false};
  bool started_ = false;

  std::mutex actionsMutex_;
  std::deque<std::pair<uint64_t, Action>> actions_;
  uint64_t actionsPosted_ = 0;

  std::mutex outMutex_;
  HostOutput out_;
  bool wakePending_ = false;
  std::atomic<uint64_t> questionsAsked_{0};
  std::atomic<uint64_t> answeredId_{0};
  std::atomic<int> answer_{0};
};

// One line of the controlled machine's state as a headless run prints it:
// "B 00:01:02:03 DA-88 PAL stop remote".
std::string ControllerStateLine(const MachineControlPanel& panel);
