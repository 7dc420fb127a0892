// TSelkieF's controls wired to the engine host: every click, check box and menu item of the
// panels becomes an action posted to the host. The window itself acts only where the user's side
// is involved (the keypad, the clipboard, dialogs) and then posts the result.
#include <QCheckBox>

#include "PersonalityFile.h"
#include "VmPanelWiring.h"
#include "mselkietestu.h"
#include "vcommsu.h"

void TSelkieF::WireVmPanel() {
  WireVmPanelControls(
      *Panel2, this,
      {[this](std::function<void(VirtualMachine&)> call) { PostVm(std::move(call)); },
       [this] { return shown_.vmPanelKeysActive ? VmGoto(windowTitle()) : GotoAnswer{}; }});
}

void TSelkieF::WireControlPanel() {
  ControlPanelView* p = Panel1;
  for (TVyoButton* key : {p->kstop, p->kplay, p->kfwd, p->krwd, p->koff, p->kedit})
    key->OnClick = [this](TVyoButton* sender) {
      PostMc([tag = sender->Tag()](MachineController& mc) { mc.kplayClick(tag); });
    };
  p->krvsplay->OnClick = [this](TVyoButton*) {
    PostMc([](MachineController& mc) { mc.krvsplayClick(); });
  };
  p->kgoto->OnMouseDown = [this](TVyoButton*, Qt::MouseButton button) { kgotoMouseDown(button); };
  p->kgoto->OnClick = [this](TVyoButton*) { kgotoClick(); };
  for (TVyoButton* key : p->kr)
    key->OnClick = [this](TVyoButton* sender) {
      PostMc([n = sender->Tag()](MachineController& mc) { mc.kr1Click(n); });
    };
  for (TVyoButton* key : p->ka)
    key->OnClick = [this](TVyoButton* sender) {
      PostMc(
          [k = static_cast<FunctionKey>(sender->Tag())](MachineController& mc) { mc.ka1Click(k); });
    };
  p->kbank->OnClick = [this](TVyoButton*) {
    PostMc([](MachineController& mc) { mc.kbankClick(); });
  };
  connect(p->kediton, &QCheckBox::clicked, this,
          [this](bool on) { PostMc([on](MachineController& mc) { mc.keditonClick(on); }); });
  p->bpoz->installEventFilter(this);
}

void TSelkieF::WireMenus() {
  MainMenu& m = *Menu;
  const auto on = [this](QAction* action, std::function<void()> handler) {
    connect(action, &QAction::triggered, this, handler);
  };
  on(m.Synctest1, [this] { ToggleView(&SettingsRecord::ShowSyncTest); });
  on(m.MachineControl1, [this] { ToggleView(&SettingsRecord::ShowMachineControl); });
  on(m.VirtualMachine1, [this] { ToggleView(&SettingsRecord::ShowVirtualMachine); });
  on(m.OpenClose1, [this] { ToggleView(&SettingsRecord::ShowOpenClose); });
  on(m.GPO1, [this] { ToggleView(&SettingsRecord::ShowGpo); });
  on(m.Comms1, [this] { Comms1Click(); });
  on(m.Macrokey1, [this] { bpozClick(); });
  on(m.GotoClipboard1, [this] { GotoClipboard1Click(); });
  on(m.ZQVersion1, [this] { ZQVersion1Click(); });
  on(m.InstallSelkieDriver1, [this] { InstallSelkieDriver1Click(); });
  on(m.CaptureToFile1, [this] { CaptureToFile1Click(); });
  on(m.OpenRack1, [this] { OpenRack1Click(); });
  on(m.StopCapture1, [this] { StopCapture1Click(); });
  on(m.Personality1, [this] { Personality1Click(); });
  on(m.DefaultPersonality1, [this] { DefaultPersonality1Click(); });
  connect(m.BridgeAB1, &QAction::triggered, this, [this](bool on) { BridgeAB1Click(on); });
  on(m.rvslockdir, [this] { PostVm([](VirtualMachine& vm) { vm.rvslockdirClick(); }); });
  for (QAction* item : m.identities)
    on(item, [this, tag = item->data().toInt()] {
      PostVmSave([tag](VirtualMachine& vm) { return vm.DA881Click(tag); });
    });
  on(m.EnterID1, [this] { EnterID1Click(); });
  for (QAction* item : m.StdGroup->actions())
    on(item, [this, tag = item->data().toInt()] {
      Post([tag](HostCore& host) { host.ChooseStandard(tag); });
    });
  for (QAction* item : m.unitNumbers)
    on(item, [this, tag = item->data().toInt()] {
      PostVmSave([tag](VirtualMachine& vm) { return vm.None1Click(tag); });
    });
  for (QAction* item : m.trackCounts)
    on(item, [this, tag = item->data().toInt()] {
      PostVmSave([tag](VirtualMachine& vm) { return vm.Normal1Click(tag); });
    });
  on(m.Help1, [this] { Help1Click(); });
}

void TSelkieF::WirePortKeys() {
  const auto click = [](TVyoButton* button, std::function<void()> handler) {
    button->OnClick = [handler](TVyoButton*) { handler(); };
  };
  click(open1, [this] { open1Click(); });
  click(close1, [this] { close1Click(); });
  click(Panel2->coma1, [this] { ComA1Click(); });
  click(Panel1->Comb1, [this] { ComB1Click(); });
  click(Panel2->coma2, [this] { coma2Click(); });
  click(Panel1->comb2, [this] { comb2Click(); });
  click(dtra, [this] { dtraClick(); });
  click(rtsa, [this] { rtsaClick(); });
  click(DTRB, [this] { DTRBClick(); });
  click(rtsb, [this] { rtsbClick(); });
  click(lostlock, [this] { lostlockClick(); });
  connect(Reset1, &QPushButton::clicked, this, [this] { Reset1Click(); });
}

// --- Ports and line tests -------------------------------------------------------------------

void TSelkieF::open1Click() {
  Post([](HostCore& host) { host.open1Click(); });
  close1->setFocus();
}

void TSelkieF::close1Click() {
  Post([](HostCore& host) { host.close1Click(); });
  open1->setFocus();
}

void TSelkieF::Reset1Click() {
  Post([](HostCore& host) { host.Reset1Click(); });
}

void TSelkieF::ComA1Click() {
  Post([](HostCore& host) { host.ChoosePort(PortSide::A); });
}
void TSelkieF::ComB1Click() {
  Post([](HostCore& host) { host.ChoosePort(PortSide::B); });
}
void TSelkieF::coma2Click() {
  Post([](HostCore& host) { host.TogglePortOpen(PortSide::A); });
}
void TSelkieF::comb2Click() {
  Post([](HostCore& host) { host.TogglePortOpen(PortSide::B); });
}
void TSelkieF::dtraClick() {
  Post([](HostCore& host) { host.ToggleDTR(PortSide::A); });
}
void TSelkieF::rtsaClick() {
  Post([](HostCore& host) { host.ToggleRTS(PortSide::A); });
}
void TSelkieF::DTRBClick() {
  Post([](HostCore& host) { host.ToggleDTR(PortSide::B); });
}
void TSelkieF::rtsbClick() {
  Post([](HostCore& host) { host.ToggleRTS(PortSide::B); });
}
void TSelkieF::lostlockClick() {
  Post([](HostCore& host) { host.lostlockClick(); });
}

// --- Traffic --------------------------------------------------------------------------------

void TSelkieF::CaptureToFile1Click() {
  const QString path = Desktop.chooseCapture();
  if (path.isEmpty()) return;
  Post([path = path.toStdString()](HostCore& host) { host.StartCapture(path); });
}

// The file is read here, so a file that cannot be used is an error box and the machine keeps the
// personality it had.
void TSelkieF::Personality1Click() {
  const QString path = Desktop.choosePersonality();
  if (path.isEmpty()) return;
  try {
    Post([personality = ReadPersonalityFile(path.toStdString())](HostCore& host) {
      host.SetPersonality(personality);
    });
  } catch (const PersonalityError& e) {
    Desktop.showError(QString::fromStdString(e.what()));
  }
}

void TSelkieF::DefaultPersonality1Click() {
  Post([](HostCore& host) { host.SetPersonality(Personality{}); });
}

void TSelkieF::StopCapture1Click() {
  Post([](HostCore& host) { host.StopCapture(); });
}

void TSelkieF::BridgeAB1Click(bool on) {
  // The comms monitor shows the bridged traffic as decoded lines.
  if (on && comms_) comms_->SetDecode(true);
  Post([on](HostCore& host) { host.SetBridge(on); });
}
