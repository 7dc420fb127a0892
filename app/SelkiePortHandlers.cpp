// TSelkieF's port side: opening and closing the ports, the line tests, the serial events, the
// frame timers and the frame tick.
#include "PanelWidgets.h"
#include "SerialErrors.h"
#include "mselkietestu.h"
#include "vcommsu.h"

namespace {

std::vector<uint8_t> ReadEventBytes(TSerialPort& port, uint16_t count) {
  std::vector<uint8_t> bytes;
  bytes.reserve(count);
  for (uint16_t i = 0; i < count; ++i) bytes.push_back(port.ReadByte());
  return bytes;
}

}  // namespace

void TSelkieF::WireSerial() {
  SerialA.OnTriggerAvail = [this](TSerialPort&, uint16_t count) { SerialATriggerAvail(count); };
  SerialB.OnTriggerAvail = [this](TSerialPort&, uint16_t count) { SerialBTriggerAvail(count); };
  SerialA.OnTriggerModemStatus = [this](TSerialPort&, uint16_t) { SerialATriggerModemStatus(); };
  SerialB.OnTriggerModemStatus = [this](TSerialPort&, uint16_t) { SerialBTriggerModemStatus(); };
  const auto report = [this](TSerialPort& port, const std::string& message) {
    MirrorPortLamps();
    ShowError(QString::fromStdString(port.DisplayName() + ": " + message));
  };
  SerialA.OnError = report;
  SerialB.OnError = report;
  const auto prompt = [this](const std::vector<SerialSelectEntry>& entries) {
    return Desktop.promptPort(entries);
  };
  SerialA.SetPortPrompt(prompt);
  SerialB.SetPortPrompt(prompt);
}

void TSelkieF::WireSyncAndPorts() {
  connect(Timer1, &QTimer::timeout, this, [this] { Guarded([this] { Timer1Timer(); }); });
  connect(Timer2, &QTimer::timeout, this, [this] { Guarded([this] { Timer2Timer(); }); });
  const auto click = [this](TVyoButton* button, void (TSelkieF::*handler)()) {
    button->OnClick = [this, handler](TVyoButton*) { Guarded([this, handler] { (this->*handler)(); }); };
  };
  click(open1, &TSelkieF::open1Click);
  click(close1, &TSelkieF::close1Click);
  click(Panel2->coma1, &TSelkieF::ComA1Click);
  click(Panel1->Comb1, &TSelkieF::ComB1Click);
  click(Panel2->coma2, &TSelkieF::coma2Click);
  click(Panel1->comb2, &TSelkieF::comb2Click);
  click(dtra, &TSelkieF::dtraClick);
  click(rtsa, &TSelkieF::rtsaClick);
  click(DTRB, &TSelkieF::DTRBClick);
  click(rtsb, &TSelkieF::rtsbClick);
  click(lostlock, &TSelkieF::lostlockClick);
  connect(Reset1, &QPushButton::clicked, this, [this] { Guarded([this] { Reset1Click(); }); });
}

// --- Opening and closing --------------------------------------------------------------------

void TSelkieF::OpenPortA() {
  ports_.OpenPort(PortSide::A, record_.PortANumber);
  MirrorPortLamps();
}

void TSelkieF::OpenPortB() {
  ports_.OpenPort(PortSide::B, record_.PortBNumber);
  MirrorPortLamps();
}

void TSelkieF::ClosePortA() {
  ports_.ClosePort(PortSide::A);
  MirrorPortLamps();
}

void TSelkieF::ClosePortB() {
  ports_.ClosePort(PortSide::B);
  MirrorPortLamps();
}

void TSelkieF::open1Click() {
  if (record_.ShowVirtualMachine && !SerialA.Open()) OpenPortA();
  if (record_.ShowMachineControl && !SerialB.Open()) OpenPortB();
  open1->SetLit(true);
  MirrorPortLamps();
  close1->SetLit(false);
  close1->setFocus();
}

void TSelkieF::close1Click() {
  ClosePortB();
  ClosePortA();
  open1->SetLit(false);
  close1->SetLit(true);
  open1->setFocus();
}

void TSelkieF::Reset1Click() {
  ports_.DropBoth();
  MirrorPortLamps();
  open1Click();
}

void TSelkieF::ComA1Click() {
  ports_.ChoosePort(PortSide::A, record_.PortANumber);
  LayoutViews();
  SaveSettings();
}

void TSelkieF::ComB1Click() {
  ports_.ChoosePort(PortSide::B, record_.PortBNumber);
  LayoutViews();
  SaveSettings();
}

void TSelkieF::coma2Click() {
  if (SerialA.Open()) ClosePortA();
  else OpenPortA();
}

void TSelkieF::comb2Click() {
  if (SerialB.Open()) ClosePortB();
  else OpenPortB();
}

// --- Line tests -----------------------------------------------------------------------------

void TSelkieF::dtraClick() { dtra->SetLit(ports_.ToggleDTR(PortSide::A)); }
void TSelkieF::rtsaClick() { rtsa->SetLit(ports_.ToggleRTS(PortSide::A)); }
void TSelkieF::DTRBClick() { DTRB->SetLit(ports_.ToggleDTR(PortSide::B)); }
void TSelkieF::rtsbClick() { rtsb->SetLit(ports_.ToggleRTS(PortSide::B)); }

void TSelkieF::lostlockClick() {
  sync_.ResetLostLock();
  MirrorSync();
}

void TSelkieF::MirrorPortLamps() {
  const bool a = SerialA.Open();
  const bool b = SerialB.Open();
  Panel2->coma1->SetLit(a);
  Panel2->coma2->SetLit(a);
  Panel1->Comb1->SetLit(b);
  Panel1->comb2->SetLit(b);
  sync_.SetPortAOpen(a);
  sync_.SetPortBOpen(b);
}

void TSelkieF::MirrorSync() {
  vsyncA->SetLit(sync_.SyncA());
  MirrorCaption(vsyncA, sync_.SyncACaption());
  VsyncB->SetLit(sync_.SyncB());
  MirrorCaption(VsyncB, sync_.SyncBCaption());
  MirrorCaption(lostlock, sync_.LostLockCaption());
}

// --- Timers, sync and the frame tick --------------------------------------------------------

void TSelkieF::Timer1Timer() {
  MirrorPortLamps();
  const SyncStep step = sync_.Timer1Fired();
  MirrorSync();
  ApplySyncStep(step, PortSide::A);
}

void TSelkieF::Timer2Timer() {
  MirrorPortLamps();
  const SyncStep step = sync_.Timer2Fired();
  MirrorSync();
  ApplySyncStep(step, PortSide::B);
}

void TSelkieF::SerialATriggerModemStatus() {
  const ProgramPorts::CtsState cts = ports_.ReadCts(PortSide::A);
  const SyncStep step = sync_.ModemStatusA(cts.changed, cts.on);
  MirrorSync();
  ApplySyncStep(step, PortSide::A);
}

void TSelkieF::SerialBTriggerModemStatus() {
  const ProgramPorts::CtsState cts = ports_.ReadCts(PortSide::B);
  const SyncStep step = sync_.ModemStatusB(cts.changed, cts.on);
  MirrorSync();
  ApplySyncStep(step, PortSide::B);
  if (controller_.ShowChecksumErrors()) MirrorController();
}

void TSelkieF::ApplySyncStep(const SyncStep& step, PortSide side) {
  if (step.restartTimer) (side == PortSide::A ? Timer1 : Timer2)->start();
  if (step.rearm) ports_.ArmSyncWatch(side);
  if (step.frameTick) FrameTick();
}

void TSelkieF::FrameTick() {
  for (const Bytes& write : controller_.FrameTick(SerialB.Open())) SerialB.WriteString(write);
  vm_.FrameTick();
  MirrorVm();
  const LineLamps lamps = ports_.ReadLineLamps();
  DSRA->SetLit(lamps.dsrA);
  dcda->SetLit(lamps.dcdA);
  ria->SetLit(lamps.riA);
  dsrb->SetLit(lamps.dsrB);
  dcdb->SetLit(lamps.dcdB);
  rib->SetLit(lamps.riB);
}

// --- Received data --------------------------------------------------------------------------

void TSelkieF::SerialATriggerAvail(uint16_t count) {
  const std::vector<uint8_t> bytes = ReadEventBytes(SerialA, count);
  VmEventContext context;
  context.portOpen = SerialA.Open();
  context.showComs = comms_ && comms_->ShowComs();
  context.monitorVisible = comms_ && comms_->IsShown();
  const VmEventResult result = vm_.DataAvailable(bytes, context);
  if (result.inputDiscarded) SerialA.DiscardInput();
  // Replies go out first; the monitor lines follow in the order the messages produced them.
  const Bytes reply = result.ReplyBytes();
  if (!reply.empty() && SerialA.Open()) SerialA.WriteString(reply);
  if (comms_)
    for (const std::string& line : result.MonitorLines()) comms_->AddLine(QString::fromStdString(line));
  MirrorVm();
}

void TSelkieF::SerialBTriggerAvail(uint16_t count) {
  const std::vector<uint8_t> bytes = ReadEventBytes(SerialB, count);
  if (controller_.SerialBTriggerAvail(bytes) == MachineController::RxOutcome::Discarded)
    SerialB.DiscardInput();
  // The count changes here; left to the CTS event alone it would stay "00" on every line
  // without a sync pulse.
  controller_.ShowChecksumErrors();
  MirrorController();
}
