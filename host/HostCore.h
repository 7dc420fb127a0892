// HostCore: the program's ports and engines, owned and run on the engine host's thread.
//
// It owns both serial ports and their management (ProgramPorts), the virtual machine of port A,
// the controller of port B, the two frame timers with the sync rules (FrameSync) and the settings
// record in memory. Every member runs on the host's thread: actions posted by a front end receive
// the core (they cannot stop the host or wait on it), port events and timers reach it from the
// host's loop.
//
// Output: lines and messages are queued as they come; the state of both panels is published as a
// snapshot at display rate (at most every kPublishInterval while something changed, never once
// per exchange), and only when it differs from the last one. Errors and port questions are
// published at once. TakeOutput is the one member a front end's thread calls.
//
// The port prompt is a posted question: an opening that needs the user's choice stops with
// PortQuestionPending, the question is published and the host goes on serving the ports. The
// answer, posted back, resumes the interrupted operation with the answer in hand, so the effects
// keep the order of a prompt that waited (prompt, then a second failure's error).
//
// Settings are written by a SettingsWriter thread, never on the host's or the GUI's thread.
//
// Traffic (HostCoreTraffic.cpp): every byte the host reads or writes on either port goes to a
// TrafficRecorder after the reply is out, for decoded monitor lines and a capture file. While
// bridging, the virtual machine and the controller stand aside and each message from the editor
// on port A is passed on to the machine on port B, and each reply back, unchanged.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Clock.h"
#include "EngineHostConfig.h"
#include "FrameSync.h"
#include "HostSnapshot.h"
#include "MachineController.h"
#include "OwnerLoop.h"
#include "PortAShaping.h"
#include "ProgramPorts.h"
#include "Rack.h"
#include "SerialPort.h"
#include "SettingsFile.h"
#include "SettingsWriter.h"
#include "SonyBridge.h"
#include "TrafficRecorder.h"
#include "VirtualMachine.h"

// Thrown out of an opening that needs the user to choose a port; the question is published.
struct PortQuestionPending : std::runtime_error {
  PortQuestionPending() : std::runtime_error("a port is being chosen") {}
};

class HostCore {
 public:
  // The longest a change waits before the front end is woken for it.
  static constexpr auto kPublishInterval = std::chrono::milliseconds(16);
  // How long a change waits at least, so that a burst of exchanges is published once.
  static constexpr auto kPublishSettle = std::chrono::milliseconds(2);

  // `wake` is called on the host thread whenever output waits; it must not block.
  HostCore(EngineHostConfig config, std::shared_ptr<OwnerLoop> loop, std::function<void()> wake);
  ~HostCore();
  HostCore(const HostCore&) = delete;
  HostCore& operator=(const HostCore&) = delete;

  // --- Actions
  // ------------------------------------------------------------------------------------
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
  // Replaces the rack, if any, with `entries` and opens their ports (HostCoreRack.cpp).
  void OpenRack(const std::vector<RackEntry>& entries);
  // Runs a call into the engine of the rack's machine `row` (nothing without that machine).
  void RackVm(std::size_t row, const std::function<void(VirtualMachine&)>& call);
  // "Enter ID" for machine `row`: a bad text is an error naming the machine; none is Cancel.
  void RackEnterId(std::size_t row, const std::optional<std::string>& text);
  // Bridging needs both ports open; the bridge ends with a summary of its exchanges.
  void SetBridge(bool on);
  // The front end wants decoded monitor lines (the comms monitor's "Decode" box).
  void SetDecoding(bool on);
  // HostCorePersonality.cpp: the virtual machine's personality from now on; logged and noted in
  // the capture.
  void SetPersonality(const Personality& personality);

  // --- State
  // --------------------------------------------------------------------------------------
  const VirtualMachine& Machine() const { return vm_; }
  const Personality& CurrentPersonality() const { return shapingA_.Current(); }
  const MachineController& Controller() const { return controller_; }
  const SettingsRecord& Record() const { return record_; }
  TSerialPort& Port(PortSide side) { return side == PortSide::A ? serialA_ : serialB_; }
  // The rack's machines, when the run has a rack.
  Rack* MachineRack() { return rack_.get(); }

  // Called at the end of every frame tick (benchmarks time the tick with it).
  std::function<void()> OnFrameTick;

  // --- For the engine host's thread
  // --------------------------------------------------------------- Loads the settings and sets the
  // engines up; throws SettingsError when settings errors are fatal and the file cannot be read.
  void Create();
  // The window has been shown, or the headless run begins: the machine's session starts, the
  // ports open, the settings are written. Errors are messages, or thrown when `rethrow`.
  void Show(bool rethrow);
  // Ends a bridge, closes the ports and publishes what is left.
  void Close();
  // Fires the timers that are due and returns when the next one is.
  std::chrono::steady_clock::time_point FireTimers();
  // An action ran (or threw `error`); counted for HostSnapshot::actionsDone.
  void ActionDone(const std::exception* error);
  // The front end's answer to question `id` (kPromptCancelled for Cancel): the operation that
  // asked goes on; its errors are messages. A stale id is ignored; id 0 gives up the question.
  void AnswerPort(uint64_t id, int answer);
  bool Asking() const { return question_.has_value(); }
  void FlushSettings();

  // --- For the front end's thread
  // -----------------------------------------------------------------
  // At most kMaxQueuedLines lines wait for the front end; more are dropped, and the next take
  // carries a diagnostic that says how many.
  HostOutput TakeOutput();
  static constexpr std::size_t kMaxQueuedLines = 20000;

 private:
  struct Timer {
    std::chrono::steady_clock::duration interval;
    std::chrono::steady_clock::time_point next;
    void Restart(std::chrono::steady_clock::time_point now) { next = now + interval; }
  };
  // A question published and the operation its answer resumes.
  struct OpenQuestion {
    uint64_t id = 0;
    PortSide side = PortSide::A;
    std::function<void()> resume;
  };

  void Wire();
  int PortPrompt(PortSide side, const std::vector<SerialSelectEntry>& entries);
  void Opening(const std::function<void()>& operation);
  void OpenViews();
  void ShowPorts(bool rethrow);
  void FinishShow(bool portsOpened);

  void ApplyDemoPorts();
  void LoadSettings();
  void SaveSettings();
  void OpenCommandLinePorts();
  void OpenPort(PortSide side);
  void ClosePort(PortSide side);
  void ApplyStandardInterval();
  void ApplyLayoutInterval();
  void SetTimerInterval(Timer& timer, int ms);

  void Apply(const SyncStep& step, PortSide side);
  void FrameTick();
  void PortAData(uint16_t count);
  void PortBData(uint16_t count);
  void ModemStatus(PortSide side);
  void RefreshPortStates();

  // HostCoreTraffic.cpp
  void NotePortOpenings();
  void ArmTrafficTimer();
  bool TrafficTick();  // whether there are lines to publish
  void BridgeFromEditor(const std::vector<uint8_t>& bytes, Micros at);
  void BridgeFromMachine(const std::vector<uint8_t>& bytes, Micros at);
  void Forward(const BridgeOutput& output);
  uint64_t BridgeWrite(PortSide side, const std::vector<uint8_t>& bytes);
  void CollectTraffic();
  bool ReportCaptureFailure();

  // HostCorePersonality.cpp
  void ApplyStartPersonality();
  void WriteShapedA(const Bytes& bytes);
  void NotePortAShaping(bool wasOpen);

  void MakeRack(const std::vector<RackEntry>& entries);
  void RackCapture();
  void StartRackFrames();

  // HostCorePublish.cpp
  void Report(const std::string& message);
  void ReportPortError(PortSide side, const std::exception& e);
  void Note(std::string line, std::vector<std::string> HostOutput::*list);
  void QueueLine(std::vector<std::string>& queue, std::string&& line);
  void Publish();     // something changed: a snapshot goes out by the next publish time
  void PublishNow();  // a message or a question: the front end is woken at once
  void PublishDue(std::chrono::steady_clock::time_point now);
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
  PortAShaping shapingA_{vm_, [this](const Bytes& bytes) { WriteShapedA(bytes); }};
  std::optional<SonyBridge> bridge_;
  std::unique_ptr<Rack> rack_;
  std::array<uint64_t, 2> bridgeDropped_{};  // bytes a bridged port dropped: A, B
  std::array<bool, 2> bridgeDropping_{};     // its last write was dropped (said once)
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
  uint64_t actionsDone_ = 0;

  // The port prompt: the open question, and the answers the operation it resumes consumes in
  // order (a cancelled first prompt is followed by a second one).
  std::optional<OpenQuestion> question_;
  uint64_t questionsAsked_ = 0;
  std::vector<int> answers_;
  std::size_t answerCursor_ = 0;

  // Publishing: a snapshot is due at `publishAt` when `dirty_`.
  bool dirty_ = false;
  std::chrono::steady_clock::time_point publishAt_{};
  std::chrono::steady_clock::time_point lastPublish_{};
  std::optional<HostSnapshot> published_;

  std::mutex outMutex_;
  HostOutput out_;
  uint64_t droppedLines_ = 0;  // lines QueueLine turned away since the last take
  bool wakePending_ = false;
};

// One line of the controlled machine's state as a headless run prints it:
// "B 00:01:02:03 DA-88 PAL stop remote".
std::string ControllerStateLine(const MachineControlPanel& panel);
