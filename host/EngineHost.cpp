#include "EngineHost.h"

#include <algorithm>
#include <future>

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

EngineHost::EngineHost(EngineHostConfig config, std::function<void()> wake)
    : config_(std::move(config)),
      wake_(std::move(wake)),
      loop_(std::make_shared<OwnerLoop>()),
      serialA_(loop_),
      serialB_(loop_),
      ports_(serialA_, serialB_) {
  serialA_.SetPromptForPort(config_.promptForPort);
  serialB_.SetPromptForPort(config_.promptForPort);
  showComs_ = config_.showComs;
  traffic_.SetDecoding(config_.decodedLines);
  Wire();
}

EngineHost::~EngineHost() { Stop(); }

void EngineHost::Wire() {
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
      {
        std::lock_guard lock(outMutex_);
        out_.diagnostics.push_back(message);
      }
      Publish();
    };
    serialA_.OnDiagnostic = note;
    serialB_.OnDiagnostic = note;
  }
  const auto prompt = [this](const std::vector<SerialSelectEntry>& entries) {
    return AskPort(entries);
  };
  serialA_.SetPortPrompt(prompt);
  serialB_.SetPortPrompt(prompt);
}

// --- Thread and loop ------------------------------------------------------------------------

void EngineHost::Start() {
  if (started_) return;
  started_ = true;
  thread_ = std::thread([this] { ThreadMain(); });
  Call([](EngineHost& host) { host.Create(); });
}

void EngineHost::Show(bool rethrow) {
  const Action show = [rethrow](EngineHost& host) { host.ShowNow(rethrow); };
  if (rethrow)
    Call(show);
  else
    Post(show);
}

void EngineHost::Stop() {
  if (!started_ || !thread_.joinable()) return;
  closing_ = true;  // a question still open is given up, so the actions before the stop run
  Post([](EngineHost& host) { host.stopping_ = true; });
  thread_.join();
  writer_.reset();  // writes the last record
}

void EngineHost::ThreadMain() {
  while (!stopping_) RunOnce();
  SetBridge(false);  // its summary is the last word
  ports_.ClosePort(PortSide::B);
  ports_.ClosePort(PortSide::A);
  RefreshPortStates();
  loop_->Pump();  // events the ports queued before they closed find nothing left to do
}

void EngineHost::RunOnce() {
  FireTimers(Clock::now());
  loop_->PumpUntilTime(std::min({timer1_.next, timer2_.next, trafficTimer_.next}));
}

void EngineHost::RunUntil(const std::function<bool()>& done) {
  while (!done()) RunOnce();
}

uint64_t EngineHost::Post(Action action) {
  uint64_t number = 0;
  {
    std::lock_guard lock(actionsMutex_);
    number = ++actionsPosted_;
    actions_.emplace_back(number, std::move(action));
  }
  loop_->Invoke([this] { DrainActions(); }, 0);
  return number;
}

void EngineHost::Call(const Action& fn) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  Post([&fn, done](EngineHost& host) {
    try {
      fn(host);
      done->set_value();
    } catch (...) {
      done->set_exception(std::current_exception());
    }
  });
  finished.get();
}

void EngineHost::DrainActions() {
  // While the user is being asked for a port, actions wait: they may act on that very port.
  if (nested_ > 0) return;
  for (;;) {
    Action action;
    {
      std::lock_guard lock(actionsMutex_);
      if (actions_.empty()) return;
      action = std::move(actions_.front().second);
      actions_.pop_front();
    }
    Run(action);
  }
}

void EngineHost::Run(const Action& action) {
  try {
    action(*this);
  } catch (const std::exception& e) {
    Report(e.what());
  }
  ++actionsDone_;
  Publish();
}

HostOutput EngineHost::TakeOutput() {
  std::lock_guard lock(outMutex_);
  HostOutput taken = std::move(out_);
  out_ = {};
  wakePending_ = false;
  return taken;
}

int EngineHost::AskPort(const std::vector<SerialSelectEntry>& entries) {
  const uint64_t id = ++questionsAsked_;
  {
    std::lock_guard lock(outMutex_);
    out_.portQuestion = PortQuestion{entries, id};
  }
  Publish();
  ++nested_;
  RunUntil([&] { return answeredId_ == id || closing_; });
  --nested_;
  // Actions that came in while the user was asked run now.
  loop_->Invoke([this] { DrainActions(); }, 0);
  return answeredId_ == id ? answer_.load() : kPromptCancelled;
}

void EngineHost::FlushSettings() {
  if (writer_) writer_->Flush();
}

void EngineHost::AnswerPort(uint64_t questionId, int answer) {
  answer_ = answer;
  answeredId_ = questionId;
  loop_->Invoke([] {}, 0);  // wakes the waiting loop
}

// --- Start-up and settings ------------------------------------------------------------------

void EngineHost::Create() {
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
  SetTimerInterval(timer2_, config_.timer2Ms.value_or(kTimer2IntervalMs));
  ArmTrafficTimer();
  if (config_.timer1Ms)
    SetTimerInterval(timer1_, *config_.timer1Ms);
  else
    ApplyStandardInterval();
  Publish();
}

void EngineHost::ApplyDemoPorts() {
  record_.PortANumber = PortMap::kCableA;
  record_.PortBNumber = PortMap::kCableB;
  record_.ShowVirtualMachine = 1;
  record_.ShowMachineControl = 1;
  if (!loaded_) {
    record_.ShowOpenClose = 1;
    record_.ShowGpo = 1;
  }
}

void EngineHost::LoadSettings() {
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
  writer_ =
      std::make_unique<SettingsWriter>([file](const SettingsRecord& record) { file.Save(record); },
                                       [this](const std::string& message) {
                                         Report(message);
                                         Publish();
                                       });
}

void EngineHost::SaveSettings() {
  const VmSettings vm = vm_.Settings();
  record_.Standard = vm.Standard;
  record_.MachineType = vm.MachineType;
  record_.UnitTracksByte = vm.UnitTracksByte;
  record_.ExtendedIdReply = vm.ExtendedIdReply ? 1 : 0;
  if (writer_) writer_->Submit(record_);
}

void EngineHost::ShowNow(bool rethrow) {
  // Before the ports open, so the capture holds their first bytes.
  if (config_.capturePath) {
    try {
      StartCapture(*config_.capturePath);
    } catch (const std::exception& e) {
      if (rethrow) throw;
      Report(e.what());
    }
  }
  if (config_.portA || config_.portB) {
    vm_.FormShow();
    SaveSettings();
    OpenCommandLinePorts();
  } else {
    // A port that cannot be opened is reported, and the rest of the start-up still runs, so the
    // views and the settings file are never left half set up.
    try {
      open1Click();
    } catch (const std::exception& e) {
      if (rethrow) throw;
      Report(e.what());
    }
    vm_.FormShow();
    ApplyStandardInterval();
    ApplyLayoutInterval();
    SaveSettings();
  }
  const auto now = Clock::now();
  timer1_.Restart(now);
  timer2_.Restart(now);
  if (config_.bridge) SetBridge(true);
}

void EngineHost::OpenCommandLinePorts() {
  const auto open = [this](PortSide side, const std::string& text, int spare) {
    int32_t number = ResolvePortArgument(text, spare);
    try {
      ports_.OpenPort(side, number);
    } catch (const ESerialException& e) {
      throw std::runtime_error("cannot open " + text + ": " + e.what());
    }
    RefreshPortStates();
    std::lock_guard lock(outMutex_);
    out_.diagnostics.push_back(std::string("port ") + (side == PortSide::A ? "A" : "B") +
                               " open on " + text);
  };
  if (config_.portA) open(PortSide::A, *config_.portA, kSparePortA);
  if (config_.portB) open(PortSide::B, *config_.portB, kSparePortB);
}

void EngineHost::SetTimerInterval(Timer& timer, int ms) {
  const auto now = Clock::now();
  const bool changed = timer.interval != std::chrono::milliseconds(ms);
  timer.interval = std::chrono::milliseconds(ms);
  if (changed || timer.next == Clock::time_point{}) timer.Restart(now);
  if (&timer == &timer1_) timer1Ms_ = ms;
}

void EngineHost::ApplyStandardInterval() {
  if (!config_.timer1Ms) SetTimerInterval(timer1_, vm_.Panel().timer1IntervalMs);
}

void EngineHost::ApplyLayoutInterval() {
  if (!config_.timer1Ms)
    SetTimerInterval(timer1_, LayoutTimer1IntervalMs(record_.ShowSyncTest != 0));
}

// --- Actions --------------------------------------------------------------------------------

void EngineHost::OpenPort(PortSide side) {
  ports_.OpenPort(side, side == PortSide::A ? record_.PortANumber : record_.PortBNumber);
  RefreshPortStates();
}

void EngineHost::ClosePort(PortSide side) {
  ports_.ClosePort(side);
  RefreshPortStates();
  // No frame tick may follow to darken the lamps of a closed port.
  lines_ = ports_.ReadLineLamps();
}

void EngineHost::open1Click() {
  if (record_.ShowVirtualMachine && !serialA_.Open()) OpenPort(PortSide::A);
  if (record_.ShowMachineControl && !serialB_.Open()) OpenPort(PortSide::B);
  openLit_ = true;
  closeLit_ = false;
}

void EngineHost::close1Click() {
  ClosePort(PortSide::B);
  ClosePort(PortSide::A);
  openLit_ = false;
  closeLit_ = true;
}

void EngineHost::Reset1Click() {
  ports_.DropBoth();
  RefreshPortStates();
  open1Click();
}

void EngineHost::ChoosePort(PortSide side) {
  ports_.ChoosePort(side, side == PortSide::A ? record_.PortANumber : record_.PortBNumber);
  RefreshPortStates();
  ApplyLayoutInterval();
  SaveSettings();
}

void EngineHost::TogglePortOpen(PortSide side) {
  if (Port(side).Open())
    ClosePort(side);
  else
    OpenPort(side);
}

void EngineHost::ToggleDTR(PortSide side) { ports_.ToggleDTR(side); }
void EngineHost::ToggleRTS(PortSide side) { ports_.ToggleRTS(side); }
void EngineHost::lostlockClick() { sync_.ResetLostLock(); }

void EngineHost::ToggleView(uint8_t SettingsRecord::*flag) {
  record_.*flag = record_.*flag ? 0 : 1;
  ApplyLayoutInterval();
  SaveSettings();
}

void EngineHost::SetWindowPlace(int left, int top) {
  record_.WindowLeft = left;
  record_.WindowTop = top;
}

void EngineHost::SetMonitorState(bool showComs, bool visible) {
  showComs_ = showComs;
  monitorVisible_ = visible;
}

void EngineHost::Vm(const std::function<void(VirtualMachine&)>& call) { call(vm_); }

void EngineHost::VmSave(const std::function<bool(VirtualMachine&)>& call) {
  if (call(vm_)) SaveSettings();
}

void EngineHost::ChooseStandard(int tag) {
  const bool save = vm_.N24P1Click(tag);
  ApplyStandardInterval();
  if (save) SaveSettings();
}

void EngineHost::EnterId(const std::optional<std::string>& text) {
  if (const std::optional<std::string> error = vm_.EnterID1Click(text)) Report(*error);
}

void EngineHost::Mc(const std::function<void(MachineController&)>& call) { call(controller_); }

// --- Timers, sync and the frame tick --------------------------------------------------------

void EngineHost::RefreshPortStates() {
  sync_.SetPortAOpen(serialA_.Open());
  sync_.SetPortBOpen(serialB_.Open());
  NotePortOpenings();
}

void EngineHost::FireTimers(Clock::time_point now) {
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
  if (fired) Publish();
}

void EngineHost::Apply(const SyncStep& step, PortSide side) {
  if (step.restartTimer) (side == PortSide::A ? timer1_ : timer2_).Restart(Clock::now());
  if (step.rearm) ports_.ArmSyncWatch(side);
  if (step.frameTick) FrameTick();
}

void EngineHost::FrameTick() {
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

void EngineHost::PortAData(uint16_t count) {
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
    const VmEventResult result = vm_.DataAvailable(bytes, context);
    if (result.inputDiscarded) serialA_.DiscardInput();
    // Replies go out first; the monitor lines follow in the order the messages produced them.
    const Bytes reply = result.ReplyBytes();
    const Micros replyAt = Now();
    if (!reply.empty() && serialA_.Open()) serialA_.WriteString(reply);
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
      for (std::string& line : lines) out_.monitorLines.push_back(std::move(line));
    }
  } catch (const ESerialException& e) {
    ReportPortError(PortSide::A, e);
  }
  Publish();
}

void EngineHost::PortBData(uint16_t count) {
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
      out_.controllerLines.push_back(std::move(line));
    }
  }
  Publish();
}

void EngineHost::ModemStatus(PortSide side) {
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

// --- Output ---------------------------------------------------------------------------------

void EngineHost::Report(const std::string& message) {
  std::lock_guard lock(outMutex_);
  out_.errors.push_back(message);
}

void EngineHost::ReportPortError(PortSide side, const std::exception& e) {
  Report(Port(side).DisplayName() + ": " + e.what());
}

void EngineHost::Publish() {
  CollectTraffic();
  HostSnapshot snapshot = MakeSnapshot();
  bool wake = false;
  {
    std::lock_guard lock(outMutex_);
    out_.snapshot = std::move(snapshot);
    wake = !wakePending_;
    wakePending_ = true;
  }
  if (wake && wake_) wake_();
}

HostSnapshot EngineHost::MakeSnapshot() const {
  HostSnapshot s;
  s.record = record_;
  s.vm = vm_.Panel();
  s.clips = vm_.Clips();
  s.vmPanelKeysActive = vm_.PanelKeysActive();
  s.enterIdText = vm_.EnterIdInitialText();
  s.controller = controller_.Panel();
  const auto port = [this](PortSide side) {
    const TSerialPort& p = side == PortSide::A ? serialA_ : serialB_;
    return HostPortState{p.Open(), p.ComNumber(), !p.DTR(), !p.RTS()};
  };
  s.portA = port(PortSide::A);
  s.portB = port(PortSide::B);
  s.lines = lines_;
  s.linkA = healthA_;
  s.linkA.checksumErrors = vm_.Port().ChecksumErrors;
  s.linkB = controller_.Health();
  s.openLit = openLit_;
  s.closeLit = closeLit_;
  s.syncA = sync_.SyncA();
  s.syncB = sync_.SyncB();
  s.syncACaption = sync_.SyncACaption();
  s.syncBCaption = sync_.SyncBCaption();
  s.lostLock = sync_.LostLock();
  s.timer1Ms = timer1Ms_;
  s.timer2Ms = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(timer2_.interval).count());
  s.settingsLoaded = loaded_;
  s.capturing = traffic_.Capturing();
  s.bridging = bridge_.has_value();
  s.actionsDone = actionsDone_;
  return s;
}
