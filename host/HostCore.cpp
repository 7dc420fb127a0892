#include "HostCore.h"

#include <algorithm>

#include "PortArguments.h"
#include "PortMap.h"
#include "SerialErrors.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> ReadEventBytes(TSerialPort& port, uint16_t count) {
  std::vector<uint8_t> bytes;
  bytes.reserve(count);
  for (uint16_t i = 0; i < count; ++i) bytes.push_back(port.ReadByte());
  return bytes;
}

// A damaged record may hold any number; one no port can have opens as "no number" (the prompt).
int32_t UsablePortNumber(int32_t number) {
  return number < 0 || number > kMaxPortNumber ? 0 : number;
}

}  // namespace

std::string ControllerStateLine(const MachineControlPanel& panel) {
  std::string line = "B " + panel.bpoz + " " + panel.name;
  const std::pair<const PanelLamp*, const char*> lamps[] = {
      {&panel.kstop, "stop"},     {&panel.kplay, "play"},   {&panel.krwd, "rwd"},
      {&panel.kfwd, "fwd"},       {&panel.krvsplay, "rvs"}, {&panel.kedit, "edit"},
      {&panel.kremote, "remote"}, {&panel.kgoto, "goto"},   {&panel.kcued, "cued"},
      {&panel.kstill, "still"}};
  for (const auto& [lamp, text] : lamps)
    if (lamp->Lit) line += std::string(" ") + text;
  return line;
}

HostCore::HostCore(EngineHostConfig config, std::shared_ptr<OwnerLoop> loop,
                   std::function<void()> wake)
    : config_(std::move(config)),
      wake_(std::move(wake)),
      loop_(std::move(loop)),
      serialA_(loop_),
      serialB_(loop_),
      ports_(serialA_, serialB_) {
  serialA_.SetPromptForPort(config_.promptForPort);
  serialB_.SetPromptForPort(config_.promptForPort);
  showComs_ = config_.showComs;
  traffic_.SetDecoding(config_.decodedLines);
  Wire();
  if (!config_.rack.empty()) MakeRack(config_.rack);
}

HostCore::~HostCore() = default;

void HostCore::Wire() {
  serialA_.OnTriggerAvail = [this](TSerialPort&, uint16_t count) { PortAData(count); };
  serialB_.OnTriggerAvail = [this](TSerialPort&, uint16_t count) { PortBData(count); };
  serialA_.OnTriggerModemStatus = [this](TSerialPort&, uint16_t) { ModemStatus(PortSide::A); };
  serialB_.OnTriggerModemStatus = [this](TSerialPort&, uint16_t) { ModemStatus(PortSide::B); };
  // The component's own messages name their port.
  const auto report = [this](TSerialPort&, const std::string& message) {
    RefreshPortStates();
    Report(message);
    Publish();
  };
  serialA_.OnError = report;
  serialB_.OnError = report;
  // A pty: client that leaves takes its half-sent message with it; the port has emptied itself.
  serialA_.OnPeerHangUp = [this](TSerialPort&) { vm_.PeerHungUp(); };
  serialB_.OnPeerHangUp = [this](TSerialPort&) { controller_.PeerHungUp(); };
  if (config_.diagnostics) {
    const auto note = [this](TSerialPort&, const std::string& message) {
      Note(message, &HostOutput::diagnostics);
    };
    serialA_.OnDiagnostic = note;
    serialB_.OnDiagnostic = note;
  }
  serialA_.SetPortPrompt([this](const std::vector<SerialSelectEntry>& entries) {
    return PortPrompt(PortSide::A, entries);
  });
  serialB_.SetPortPrompt([this](const std::vector<SerialSelectEntry>& entries) {
    return PortPrompt(PortSide::B, entries);
  });
}

// --- The port prompt ------------------------------------------------------------------------

// An operation that opens ports runs again from its start once the user has answered, with every
// answer given so far, so a port it opened before the question is found open and one that failed
// before fails silently again, as the first try of the fallback does.
void HostCore::Opening(const std::function<void()>& operation) {
  answerCursor_ = 0;
  try {
    operation();
  } catch (const PortQuestionPending&) {
    question_->resume = operation;
    return;
  } catch (...) {
    answers_.clear();
    throw;
  }
  answers_.clear();
}

int HostCore::PortPrompt(PortSide side, const std::vector<SerialSelectEntry>& entries) {
  if (answerCursor_ < answers_.size()) return answers_[answerCursor_++];
  question_ = OpenQuestion{++questionsAsked_, side, {}};
  {
    std::lock_guard lock(outMutex_);
    out_.portQuestion = PortQuestion{entries, question_->id};
  }
  PublishNow();
  throw PortQuestionPending();
}

void HostCore::AnswerPort(uint64_t id, int answer) {
  if (!question_) return;
  if (id == 0) {
    question_.reset();
    answers_.clear();
    return;
  }
  // A question replaced by a newer one has no one to resume.
  if (question_->id != id) return;
  const std::function<void()> resume = std::move(question_->resume);
  question_.reset();
  answers_.push_back(answer);
  try {
    Opening(resume);
  } catch (const std::exception& e) {
    Report(e.what());
  }
}

// --- Start-up and settings ------------------------------------------------------------------

void HostCore::Create() {
  LoadSettings();
  record_.PortANumber = UsablePortNumber(record_.PortANumber);
  record_.PortBNumber = UsablePortNumber(record_.PortBNumber);
  if (config_.demo) ApplyDemoPorts();
  VmSettings settings{record_.Standard, record_.MachineType, record_.UnitTracksByte,
                      record_.ExtendedIdReply != 0};
  if (config_.machine) settings.MachineType = *config_.machine;
  if (config_.standard) settings.Standard = static_cast<uint8_t>(*config_.standard);
  vm_.RestoreSettings(settings);
  vm_.ApplyStandard();
  // Now, so that a capture names it from its first line; it is applied again over FormShow.
  if (config_.personality) shapingA_.Use(*config_.personality);
  SetTimerInterval(timer2_, config_.timer2Ms.value_or(kTimer2IntervalMs));
  ArmTrafficTimer();
  if (config_.timer1Ms)
    SetTimerInterval(timer1_, *config_.timer1Ms);
  else
    ApplyStandardInterval();
  PublishNow();
}

void HostCore::ApplyDemoPorts() {
  record_.PortANumber = PortMap::kCableA;
  record_.PortBNumber = PortMap::kCableB;
  record_.ShowVirtualMachine = 1;
  record_.ShowMachineControl = 1;
  if (!loaded_) {
    record_.ShowOpenClose = 1;
    record_.ShowGpo = 1;
  }
}

void HostCore::LoadSettings() {
  if (!config_.settingsPath) return;
  const SettingsFile file(*config_.settingsPath);
  try {
    loaded_ = file.Load(record_);
  } catch (const SettingsError& e) {
    if (config_.settingsErrorsAreFatal) throw;
    // Whatever the file holds is unknown: writing over it could destroy the user's settings.
    Report(std::string(e.what()) + "\nSettings will not be saved this run.");
    return;
  }
  // The writer reports from its own thread: the message is handed to the loop.
  writer_ =
      std::make_unique<SettingsWriter>([file](const SettingsRecord& record) { file.Save(record); },
                                       [this](const std::string& message) {
                                         loop_->Invoke([this, message] { Report(message); }, 0);
                                       });
}

void HostCore::SaveSettings() {
  const VmSettings vm = vm_.Settings();
  record_.Standard = vm.Standard;
  record_.MachineType = vm.MachineType;
  record_.UnitTracksByte = vm.UnitTracksByte;
  record_.ExtendedIdReply = vm.ExtendedIdReply ? 1 : 0;
  if (writer_) writer_->Submit(record_);
}

void HostCore::Show(bool rethrow) {
  // Before the ports open, so the capture holds their first bytes.
  if (config_.capturePath) {
    try {
      StartCapture(*config_.capturePath);
    } catch (const std::exception& e) {
      if (rethrow) throw;
      Report(e.what());
    }
  }
  if (rack_) {
    rack_->Open();
    StartRackFrames();
  }
  if (config_.portA || config_.portB) {
    vm_.FormShow();
    SaveSettings();
    ApplyStartPersonality();
    OpenCommandLinePorts();
  } else if (!rack_) {
    Opening([this, rethrow] { ShowPorts(rethrow); });
  }
  const auto now = Clock::now();
  timer1_.Restart(now);
  timer2_.Restart(now);
  if (config_.bridge) SetBridge(true);
}

void HostCore::ShowPorts(bool rethrow) {
  bool opened = true;
  try {
    OpenViews();
  } catch (const PortQuestionPending&) {
    throw;
  } catch (const std::exception& e) {
    if (rethrow) throw;
    Report(e.what());
    opened = false;
  }
  FinishShow(opened);
}

// The machine takes its identity and the views their layout even when a port failed: without
// them the window would pose as no machine at all. Only the settings file is left as it was, so
// the port the user had chosen is still there for the next start.
void HostCore::FinishShow(bool portsOpened) {
  vm_.FormShow();
  ApplyStandardInterval();
  ApplyLayoutInterval();
  if (portsOpened) SaveSettings();
  ApplyStartPersonality();
}

void HostCore::OpenCommandLinePorts() {
  const auto open = [this](PortSide side, const std::string& text, int spare) {
    int32_t number = ResolvePortArgument(text, spare);
    try {
      ports_.OpenPort(side, number);
    } catch (const ESerialException& e) {
      throw std::runtime_error("cannot open " + text + ": " + e.CommandLineText());
    }
    RefreshPortStates();
    Note(std::string("port ") + (side == PortSide::A ? "A" : "B") + " open on " + text,
         &HostOutput::diagnostics);
  };
  if (config_.portA) open(PortSide::A, *config_.portA, kSparePortA);
  if (config_.portB) open(PortSide::B, *config_.portB, kSparePortB);
}

void HostCore::SetTimerInterval(Timer& timer, int ms) {
  const auto now = Clock::now();
  const bool changed = timer.interval != std::chrono::milliseconds(ms);
  timer.interval = std::chrono::milliseconds(ms);
  if (changed || timer.next == Clock::time_point{}) timer.Restart(now);
  if (&timer == &timer1_) timer1Ms_ = ms;
}

void HostCore::ApplyStandardInterval() {
  if (!config_.timer1Ms) SetTimerInterval(timer1_, vm_.Panel().timer1IntervalMs);
}

void HostCore::ApplyLayoutInterval() {
  if (!config_.timer1Ms)
    SetTimerInterval(timer1_, LayoutTimer1IntervalMs(record_.ShowSyncTest != 0));
}

// --- Actions --------------------------------------------------------------------------------

void HostCore::OpenPort(PortSide side) {
  ports_.OpenPort(side, side == PortSide::A ? record_.PortANumber : record_.PortBNumber);
  RefreshPortStates();
}

void HostCore::ClosePort(PortSide side) {
  ports_.ClosePort(side);
  RefreshPortStates();
  // No frame tick may follow to darken the lamps of a closed port.
  lines_ = ports_.ReadLineLamps();
}

void HostCore::open1Click() {
  Opening([this] { OpenViews(); });
}

void HostCore::OpenViews() {
  if (record_.ShowVirtualMachine && !serialA_.Open()) OpenPort(PortSide::A);
  if (record_.ShowMachineControl && !serialB_.Open()) OpenPort(PortSide::B);
  openLit_ = true;
  closeLit_ = false;
}

void HostCore::close1Click() {
  ClosePort(PortSide::B);
  ClosePort(PortSide::A);
  openLit_ = false;
  closeLit_ = true;
}

void HostCore::Reset1Click() {
  ports_.DropBoth();
  RefreshPortStates();
  open1Click();
}

void HostCore::ChoosePort(PortSide side) {
  Opening([this, side] {
    ports_.ChoosePort(side, side == PortSide::A ? record_.PortANumber : record_.PortBNumber);
    RefreshPortStates();
    ApplyLayoutInterval();
    SaveSettings();
  });
}

void HostCore::TogglePortOpen(PortSide side) {
  if (Port(side).Open())
    ClosePort(side);
  else
    Opening([this, side] { OpenPort(side); });
}

void HostCore::ToggleDTR(PortSide side) { ports_.ToggleDTR(side); }
void HostCore::ToggleRTS(PortSide side) { ports_.ToggleRTS(side); }
void HostCore::lostlockClick() { sync_.ResetLostLock(); }

void HostCore::ToggleView(uint8_t SettingsRecord::*flag) {
  record_.*flag = record_.*flag ? 0 : 1;
  ApplyLayoutInterval();
  SaveSettings();
}

void HostCore::SetWindowPlace(int left, int top) {
  record_.WindowLeft = left;
  record_.WindowTop = top;
}

void HostCore::SetMonitorState(bool showComs, bool visible) {
  showComs_ = showComs;
  monitorVisible_ = visible;
}

void HostCore::Vm(const std::function<void(VirtualMachine&)>& call) { call(vm_); }

void HostCore::VmSave(const std::function<bool(VirtualMachine&)>& call) {
  if (call(vm_)) SaveSettings();
}

void HostCore::ChooseStandard(int tag) {
  const bool save = vm_.N24P1Click(tag);
  ApplyStandardInterval();
  if (save) SaveSettings();
}

void HostCore::EnterId(const std::optional<std::string>& text) {
  if (const std::optional<std::string> error = vm_.EnterID1Click(text)) Report(*error);
}

void HostCore::Mc(const std::function<void(MachineController&)>& call) { call(controller_); }

// --- Timers, sync and the frame tick --------------------------------------------------------

void HostCore::RefreshPortStates() {
  sync_.SetPortAOpen(serialA_.Open());
  sync_.SetPortBOpen(serialB_.Open());
  NotePortOpenings();
}

Clock::time_point HostCore::FireTimers() {
  const Clock::time_point now = Clock::now();
  const auto due = [now](Timer& timer) {
    if (now < timer.next) return false;
    timer.next += timer.interval;
    if (timer.next <= now) timer.next = now + timer.interval;  // fell behind: no burst of ticks
    return true;
  };
  bool fired = false;
  if (due(timer1_)) {
    RefreshPortStates();
    Apply(sync_.Timer1Fired(), PortSide::A);
    fired = true;
  }
  if (due(timer2_)) {
    RefreshPortStates();
    Apply(sync_.Timer2Fired(), PortSide::B);
    fired = true;
  }
  if (due(trafficTimer_) && TrafficTick()) fired = true;
  shapingA_.Fire(now);
  if (rack_ && rack_->Fire(now)) fired = true;  // time codes, rates and ages move with frames
  if (fired) Publish();
  PublishDue(now);
  Clock::time_point shaped = shapingA_.NextDue().value_or(Clock::time_point::max());
  if (rack_) shaped = std::min(shaped, rack_->NextDue());
  Clock::time_point next = std::min({timer1_.next, timer2_.next, trafficTimer_.next, shaped});
  return dirty_ ? std::min(next, publishAt_) : next;
}

void HostCore::ActionDone(const std::exception* error) {
  if (error) Report(error->what());
  ++actionsDone_;
  Publish();
}

void HostCore::FlushSettings() {
  if (writer_) writer_->Flush();
}

void HostCore::Close() {
  question_.reset();
  SetBridge(false);  // its summary is the last word
  StopCapture();     // the last lines, or the message that they could not be written
  ports_.ClosePort(PortSide::B);
  ports_.ClosePort(PortSide::A);
  if (rack_) rack_->Close();
  RefreshPortStates();
  loop_->Pump();  // events the ports queued before they closed find nothing left to do
  PublishNow();
}

void HostCore::Apply(const SyncStep& step, PortSide side) {
  if (step.restartTimer) (side == PortSide::A ? timer1_ : timer2_).Restart(Clock::now());
  if (step.rearm) ports_.ArmSyncWatch(side);
  if (step.frameTick) FrameTick();
}

void HostCore::FrameTick() {
  try {
    // A bridged machine hears the editor alone.
    const bool polling = serialB_.Open() && !bridge_;
    for (const Bytes& write : controller_.FrameTick(polling)) {
      const Micros at = Now();
      serialB_.WriteString(write);
      traffic_.Sent('B', write, at);
    }
  } catch (const ESerialException& e) {
    ReportPortError(PortSide::B, e);
    return;
  }
  vm_.FrameTick();
  lines_ = ports_.ReadLineLamps();
  if (OnFrameTick) OnFrameTick();
}

// --- Port events ------------------------------------------------------------------------------

void HostCore::PortAData(uint16_t count) {
  try {
    const std::vector<uint8_t> bytes = ReadEventBytes(serialA_, count);
    const Micros at = Now();
    if (bridge_) {
      BridgeFromEditor(bytes, at);
      Publish();
      return;
    }
    VmEventContext context;
    context.portOpen = serialA_.Open();
    context.showComs = showComs_;
    context.monitorVisible = monitorVisible_;
    // The personality may hold some replies back for the loop's timer.
    PortAShaping::Event shaped = shapingA_.DataAvailable(bytes, context, Clock::now());
    const VmEventResult& result = shaped.result;
    if (result.inputDiscarded) serialA_.DiscardInput();
    // Replies go out first; the monitor lines follow in the order the messages produced them.
    const Bytes& reply = shaped.dueNow;
    if (!reply.empty() && serialA_.Open()) serialA_.WriteString(reply);
    const Micros replyAt = Now();  // read-to-write ends when the write is done
    // A message left without a reply is a timeout as the editor sees it.
    for (const VmExchange& exchange : result.exchanges) {
      healthA_.Requested();
      if (exchange.reply.empty())
        healthA_.TimedOut();
      else
        healthA_.Replied(replyAt);
    }
    traffic_.Received('A', bytes, at);
    if (!reply.empty() && serialA_.Open()) traffic_.Sent('A', reply, replyAt);
    std::vector<std::string> lines = result.MonitorLines();
    if (!lines.empty()) {
      std::lock_guard lock(outMutex_);
      for (std::string& line : lines) QueueLine(out_.monitorLines, std::move(line));
    }
  } catch (const ESerialException& e) {
    ReportPortError(PortSide::A, e);
  }
  Publish();
}

void HostCore::PortBData(uint16_t count) {
  try {
    const std::vector<uint8_t> bytes = ReadEventBytes(serialB_, count);
    const Micros at = Now();
    if (bridge_) {
      BridgeFromMachine(bytes, at);
      Publish();
      return;
    }
    traffic_.Received('B', bytes, at);
    if (controller_.SerialBTriggerAvail(bytes, at) == MachineController::RxOutcome::Discarded)
      serialB_.DiscardInput();
  } catch (const ESerialException& e) {
    ReportPortError(PortSide::B, e);
  }
  // The count changes here; left to the CTS event alone it would stay "00" on every line
  // without a sync pulse.
  controller_.ShowChecksumErrors();
  if (config_.controllerLines) {
    std::string line = ControllerStateLine(controller_.Panel());
    if (line != lastControllerLine_) {
      lastControllerLine_ = line;
      std::lock_guard lock(outMutex_);
      QueueLine(out_.controllerLines, std::move(line));
    }
  }
  Publish();
}

void HostCore::ModemStatus(PortSide side) {
  try {
    const ProgramPorts::CtsState cts = ports_.ReadCts(side);
    Apply(side == PortSide::A ? sync_.ModemStatusA(cts.changed, cts.on)
                              : sync_.ModemStatusB(cts.changed, cts.on),
          side);
  } catch (const ESerialException& e) {
    ReportPortError(side, e);
  }
  if (side == PortSide::B) controller_.ShowChecksumErrors();
  Publish();
}
