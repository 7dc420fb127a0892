#include "HeadlessRunner.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "PortMap.h"
#include "SerialErrors.h"
#include "SettingsFile.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSpareNumberA = 60001;
constexpr int kSpareNumberB = 60002;

std::atomic<bool> gStop{false};

void RequestStop(int) { gStop = true; }

std::vector<uint8_t> ReadEventBytes(TSerialPort& port, uint16_t count) {
  std::vector<uint8_t> bytes;
  bytes.reserve(count);
  for (uint16_t i = 0; i < count; ++i) bytes.push_back(port.ReadByte());
  return bytes;
}

}  // namespace

int ResolvePortArgument(const std::string& text, int spareNumber) {
  if (text.size() > 3 && (text.starts_with("COM") || text.starts_with("com"))) {
    const std::string digits = text.substr(3);
    if (digits.find_first_not_of("0123456789") == std::string::npos && digits.size() <= 5) {
      const int number = std::stoi(digits);
      if (number >= 1 && number <= 65535) return number;
    }
    throw OptionsError("\"" + text + "\" is not a COM port (COM1 to COM65535)");
  }
  if (PortMap::ParseTarget(text).kind == PortTarget::Kind::None)
    throw OptionsError("\"" + text + "\" names no port: use COMn, a device path or pty:<path>");
  ::setenv(("SELKIE_COM" + std::to_string(spareNumber)).c_str(), text.c_str(), 1);
  return spareNumber;
}

std::string ControllerStateLine(const MachineControlPanel& panel) {
  std::string line = "B " + panel.bpoz + " " + panel.name;
  const std::pair<const PanelLamp*, const char*> lamps[] = {
      {&panel.kstop, "stop"},   {&panel.kplay, "play"},     {&panel.krwd, "rwd"},
      {&panel.kfwd, "fwd"},     {&panel.krvsplay, "rvs"},   {&panel.kedit, "edit"},
      {&panel.kremote, "remote"}, {&panel.kgoto, "goto"},   {&panel.kcued, "cued"},
      {&panel.kstill, "still"}};
  for (const auto& [lamp, text] : lamps)
    if (lamp->Lit) line += std::string(" ") + text;
  return line;
}

HeadlessRunner::HeadlessRunner(const ProgramOptions& options, std::ostream& out)
    : options_(options),
      out_(out),
      loop_(std::make_shared<OwnerLoop>()),
      serialA_(loop_),
      serialB_(loop_),
      ports_(serialA_, serialB_) {
  // No one to ask: a port that cannot be opened ends the run with its message.
  serialA_.SetPromptForPort(false);
  serialB_.SetPromptForPort(false);
  Wire();
}

HeadlessRunner::~HeadlessRunner() {
  ports_.ClosePort(PortSide::B);
  ports_.ClosePort(PortSide::A);
}

void HeadlessRunner::Wire() {
  serialA_.OnTriggerAvail = [this](TSerialPort&, uint16_t count) { PortAData(count); };
  serialB_.OnTriggerAvail = [this](TSerialPort&, uint16_t count) { PortBData(count); };
  serialA_.OnTriggerModemStatus = [this](TSerialPort&, uint16_t) { ModemStatus(PortSide::A); };
  serialB_.OnTriggerModemStatus = [this](TSerialPort&, uint16_t) { ModemStatus(PortSide::B); };
  const auto report = [this](TSerialPort&, const std::string& message) {
    std::cerr << "selkietest: " << InUserTerms(message) << std::endl;
  };
  serialA_.OnError = report;
  serialB_.OnError = report;
  // Notes such as a pty ignoring the parity setting matter only to someone watching the traffic.
  if (options_.log) {
    serialA_.OnDiagnostic = report;
    serialB_.OnDiagnostic = report;
  }
}

std::string HeadlessRunner::InUserTerms(std::string message) const {
  const std::pair<int, const std::optional<std::string>*> spares[] = {
      {kSpareNumberA, &options_.portA}, {kSpareNumberB, &options_.portB}};
  for (const auto& [number, text] : spares) {
    if (!*text) continue;
    const std::string name = "COM" + std::to_string(number);
    for (auto at = message.find(name); at != std::string::npos;
         at = message.find(name, at + (*text)->size()))
      message.replace(at, name.size(), **text);
  }
  return message;
}

void HeadlessRunner::LoadSettings() {
  if (!options_.settings) return;
  SettingsRecord record;
  SettingsFile(*options_.settings).Load(record);
  vm_.RestoreSettings({record.Standard, record.MachineType, record.UnitTracksByte,
                       record.ExtendedIdReply != 0});
}

void HeadlessRunner::SaveSettings() {
  if (!options_.settings) return;
  // Only the machine's own fields: the ports of a headless run are not the window's ports.
  SettingsFile file(*options_.settings);
  SettingsRecord record;
  file.Load(record);
  const VmSettings vm = vm_.Settings();
  record.Standard = vm.Standard;
  record.MachineType = vm.MachineType;
  record.UnitTracksByte = vm.UnitTracksByte;
  record.ExtendedIdReply = vm.ExtendedIdReply ? 1 : 0;
  file.Save(record);
}

void HeadlessRunner::Start() {
  LoadSettings();
  VmSettings settings = vm_.Settings();
  if (options_.machine) settings.MachineType = *options_.machine;
  if (options_.standard) settings.Standard = static_cast<uint8_t>(*options_.standard);
  vm_.RestoreSettings(settings);
  vm_.FormShow();
  SaveSettings();
  OpenPorts();
  const auto now = Clock::now();
  const int tickMs = options_.tickMs.value_or(LayoutTimer1IntervalMs(false));
  timer1_ = {std::chrono::milliseconds(tickMs), now + std::chrono::milliseconds(tickMs)};
  const int timer2Ms = options_.tickMs.value_or(kTimer2IntervalMs);
  timer2_ = {std::chrono::milliseconds(timer2Ms), now + std::chrono::milliseconds(timer2Ms)};
}

void HeadlessRunner::OpenPorts() {
  const auto open = [this](PortSide side, const std::string& text, int spare, int32_t& number) {
    number = ResolvePortArgument(text, spare);
    try {
      ports_.OpenPort(side, number);
    } catch (const ESerialException& e) {
      throw std::runtime_error("cannot open " + text + ": " + InUserTerms(e.what()));
    }
    std::cerr << "selkietest: port " << (side == PortSide::A ? "A" : "B") << " open on " << text
              << std::endl;
  };
  if (options_.portA) open(PortSide::A, *options_.portA, kSpareNumberA, numberA_);
  if (options_.portB) open(PortSide::B, *options_.portB, kSpareNumberB, numberB_);
  sync_.SetPortAOpen(serialA_.Open());
  sync_.SetPortBOpen(serialB_.Open());
}

void HeadlessRunner::Run(const std::atomic<bool>& stop) {
  while (!stop) {
    const auto now = Clock::now();
    FireTimers(now);
    const auto next = std::min(timer1_.next, timer2_.next);
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
    loop_->Pump(std::max(wait, std::chrono::milliseconds(0)));
  }
  ports_.ClosePort(PortSide::B);
  ports_.ClosePort(PortSide::A);
  sync_.SetPortAOpen(false);
  sync_.SetPortBOpen(false);
}

void HeadlessRunner::FireTimers(Clock::time_point now) {
  const auto due = [now](Timer& timer) {
    if (now < timer.next) return false;
    timer.next += timer.interval;
    if (timer.next <= now) timer.next = now + timer.interval;  // fell behind: no burst of ticks
    return true;
  };
  if (due(timer1_)) Apply(sync_.Timer1Fired(), PortSide::A);
  if (due(timer2_)) Apply(sync_.Timer2Fired(), PortSide::B);
}

void HeadlessRunner::Apply(const SyncStep& step, PortSide side) {
  if (step.restartTimer) {
    Timer& timer = side == PortSide::A ? timer1_ : timer2_;
    timer.next = Clock::now() + timer.interval;
  }
  if (step.rearm) ports_.ArmSyncWatch(side);
  if (step.frameTick) FrameTick();
}

void HeadlessRunner::FrameTick() {
  try {
    for (const Bytes& write : controller_.FrameTick(serialB_.Open())) serialB_.WriteString(write);
  } catch (const ESerialException& e) {
    std::cerr << "selkietest: port B: " << e.what() << std::endl;
    return;
  }
  vm_.FrameTick();
  if (OnFrameTick) OnFrameTick();
}

void HeadlessRunner::PortAData(uint16_t count) {
  const std::vector<uint8_t> bytes = ReadEventBytes(serialA_, count);
  VmEventContext context;
  context.portOpen = serialA_.Open();
  context.showComs = options_.log;
  const VmEventResult result = vm_.DataAvailable(bytes, context);
  if (result.inputDiscarded) serialA_.DiscardInput();
  for (const VmExchange& exchange : result.exchanges) {
    if (!exchange.rxLine.empty()) out_ << exchange.rxLine << '\n';
    if (!exchange.reply.empty()) serialA_.WriteString(exchange.reply);
    if (!exchange.txLine.empty()) out_ << exchange.txLine << '\n';
  }
  if (options_.log) out_.flush();
}

void HeadlessRunner::PortBData(uint16_t count) {
  const std::vector<uint8_t> bytes = ReadEventBytes(serialB_, count);
  if (controller_.SerialBTriggerAvail(bytes) == MachineController::RxOutcome::Discarded)
    serialB_.DiscardInput();
  ReportController();
}

void HeadlessRunner::ModemStatus(PortSide side) {
  const ProgramPorts::CtsState cts = ports_.ReadCts(side);
  Apply(side == PortSide::A ? sync_.ModemStatusA(cts.changed, cts.on)
                            : sync_.ModemStatusB(cts.changed, cts.on),
        side);
  if (side == PortSide::B) controller_.ShowChecksumErrors();
}

void HeadlessRunner::ReportController() {
  const std::string line = ControllerStateLine(controller_.Panel());
  if (line == lastControllerLine_) return;
  lastControllerLine_ = line;
  out_ << line << std::endl;
}

int RunHeadless(const ProgramOptions& options) {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  try {
    HeadlessRunner runner(options, std::cout);
    runner.Start();
    runner.Run(gStop);
  } catch (const std::exception& e) {
    std::cerr << "selkietest: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}
