#include "mselkietestu.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QUrl>
#include <utility>

#include "KeypadF.h"
#include "MachineIdentity.h"
#include "PanelWidgets.h"
#include "PortMap.h"
#include "PortSelectForm.h"
#include "ZQDialog.h"
#include "vcommsu.h"

namespace {
constexpr int kGap = 4;
constexpr int kStatusBarHeight = 20;
const QString kAppTitle = "Selkie Test";
}  // namespace

TSelkieF::TSelkieF(const SelkieConfig& config, EventInvokerPtr invoker, QWidget* parent)
    : QMainWindow(parent),
      SerialA(invoker),
      SerialB(invoker),
      config_(config),
      settingsFile_(config.settingsPath),
      ports_(SerialA, SerialB) {
  setObjectName("SelkieF");
  setWindowTitle("Selkie Test Program");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
  setPalette(palette);
  InstallDefaultDesktop();
  if (config_.adjustDesktop) config_.adjustDesktop(Desktop);
  BuildWindow();
  WireSerial();
  WireVmPanel();
  WireControlPanel();
  WireMenus();
  WireSyncAndPorts();
  resize(636, 489);
  move(326, 2);
  FormCreate();
}

TSelkieF::~TSelkieF() {
  SerialA.SetOpen(false);
  SerialB.SetOpen(false);
}

void TSelkieF::AttachWindows(TKeypadF* keypad, Tcommsf* comms) {
  keypad_ = keypad;
  comms_ = comms;
}

// --- Building -------------------------------------------------------------------------------

void TSelkieF::BuildWindow() {
  Client = new QWidget(this);
  Client->setObjectName("Client");
  Client->setAutoFillBackground(true);
  setCentralWidget(Client);
  BuildSyncRow();
  Panel2 = new VmPanelView(Client);
  Panel2->move(kGap, 38);
  Panel1 = new ControlPanelView(Client);
  Panel1->move(kGap, 301);
  BuildOpenClose();
  BuildGpo();
  BuildStatusBar();
  Menu = std::make_unique<MainMenu>(menuBar());
  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setTimerType(Qt::PreciseTimer);
  Timer1->setInterval(kTimer2IntervalMs);
  Timer2 = new QTimer(this);
  Timer2->setObjectName("Timer2");
  Timer2->setTimerType(Qt::PreciseTimer);
  Timer2->setInterval(kTimer2IntervalMs);
}

void TSelkieF::BuildSyncRow() {
  vsyncA = MakeKey(Client, "vsyncA", "No Sync A", {4, 4, 109, 30}, LampScheme::Amber);
  VsyncB = MakeKey(Client, "VsyncB", "No Sync B", {108, 4, 109, 30}, LampScheme::Amber);
  lostlock = MakeKey(Client, "lostlock", "0", {216, 4, 45, 30});
  vsyncA->SetTabStop(false);
  VsyncB->SetTabStop(false);
}

void TSelkieF::BuildOpenClose() {
  OpenClose = new QFrame(Client);
  OpenClose->setObjectName("OpenClose");
  OpenClose->setFrameShape(QFrame::Panel);
  OpenClose->setFrameShadow(QFrame::Raised);
  OpenClose->setAutoFillBackground(true);
  OpenClose->setGeometry(kGap, 564, 261, 34);
  close1 = MakeKey(OpenClose, "close1", "Ports Close", {4, 4, 82, 26});
  open1 = MakeKey(OpenClose, "open1", "Ports Open", {90, 4, 82, 26});
  Reset1 = new QPushButton("Ports Reset", OpenClose);
  Reset1->setObjectName("Reset1");
  Reset1->setGeometry(176, 4, 81, 26);
}

void TSelkieF::BuildGpo() {
  gpo = new QFrame(Client);
  gpo->setObjectName("gpo");
  gpo->setFrameShape(QFrame::Panel);
  gpo->setFrameShadow(QFrame::Raised);
  gpo->setAutoFillBackground(true);
  gpo->setGeometry(kGap, 602, 265, 57);
  rtsa = MakeKey(gpo, "rtsa", "RTSA", {4, 4, 61, 22});
  rtsb = MakeKey(gpo, "rtsb", "RTSB", {68, 4, 61, 22});
  dtra = MakeKey(gpo, "dtra", "DTRA", {132, 4, 61, 22});
  DTRB = MakeKey(gpo, "DTRB", "DTRB", {196, 4, 61, 22});
  const std::pair<TVyoButton**, const char*> lamps[] = {{&DSRA, "DSRA"}, {&dsrb, "DSRB"},
                                                        {&dcda, "DCDA"}, {&dcdb, "DCDB"},
                                                        {&ria, "RIA"},   {&rib, "RIB"}};
  static const char* const kNames[] = {"DSRA", "dsrb", "dcda", "dcdb", "ria", "rib"};
  int x = 4;
  for (std::size_t i = 0; i < std::size(lamps); ++i, x += 43) {
    *lamps[i].first = MakeKey(gpo, kNames[i], lamps[i].second, {x, 30, 40, 22}, LampScheme::Amber);
    (*lamps[i].first)->SetTabStop(false);
  }
}

void TSelkieF::BuildStatusBar() {
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setFixedHeight(kStatusBarHeight);
  const int widths[] = {150, 40, 50};
  for (std::size_t i = 0; i < StatusPanels.size(); ++i) {
    StatusPanels[i] = new QLabel(StatusBar1);
    StatusPanels[i]->setFixedWidth(widths[i]);
    StatusPanels[i]->setFrameShape(QFrame::Panel);
    StatusPanels[i]->setFrameShadow(QFrame::Sunken);
    StatusBar1->addWidget(StatusPanels[i]);
  }
  setStatusBar(StatusBar1);
}

void TSelkieF::InstallDefaultDesktop() {
  Desktop.showError = [this](const QString& message) {
    QMessageBox box(QMessageBox::Critical, kAppTitle, message, QMessageBox::Ok, this);
    box.exec();
  };
  Desktop.showMessage = [this](const QString& message) {
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, message, QMessageBox::Ok, this);
    box.exec();
  };
  Desktop.chooseManual = [this](const QString& folder) {
    QFileDialog dialog(this, "Open", folder, "PDF Manuals (*.pdf *.PDF)");
    dialog.setDefaultSuffix("pdf");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.selectFile("*.pdf");
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().front()
               : QString();
  };
  Desktop.openDocument = [](const QString& file, const QString&) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(file));
  };
  Desktop.promptPort = [](const std::vector<SerialSelectEntry>& entries) {
    return TPortSelectForm::Prompt(entries);
  };
  Desktop.runKeypad = [this] {
    keypad_->setWindowTitle(windowTitle());
    return keypad_->ShowModal();
  };
  Desktop.enterId = [this](const QString& initial) -> std::optional<QString> {
    TZQDlg dialog(this);
    QString result;
    dialog.StringEntry(this, 0, result, initial, QString::fromUtf8(kEnterIdPrompt.data()),
                       QString::fromUtf8(kEnterIdCaption.data()));
    return result;
  };
}

// --- Wiring ---------------------------------------------------------------------------------

void TSelkieF::WireVmPanel() {
  VmPanelView* p = Panel2;
  for (TVyoButton* key : {p->vrwd, p->vrvsplay, p->vstop, p->vplay, p->vfwd, p->vedit, p->vOff})
    key->OnClick = [this](TVyoButton* sender) {
      Vm([tag = sender->Tag()](VirtualMachine& vm) { vm.vplayClick(tag); });
    };
  p->vgoto->OnClick = [this](TVyoButton*) { Guarded([this] { VmGoto(); }); };
  p->vlocal->OnClick = [this](TVyoButton*) { Vm([](VirtualMachine& vm) { vm.vlocalClick(); }); };
  p->MarkIn->OnClick = [this](TVyoButton*) { Vm([](VirtualMachine& vm) { vm.MarkInClick(); }); };
  p->MarkOut->OnClick = [this](TVyoButton*) { Vm([](VirtualMachine& vm) { vm.MarkOutClick(); }); };
  const auto box = [this](QCheckBox* check, void (VirtualMachine::*handler)(bool)) {
    connect(check, &QCheckBox::clicked, this,
            [this, handler](bool on) { Vm([handler, on](VirtualMachine& vm) { (vm.*handler)(on); }); });
  };
  box(p->qall, &VirtualMachine::qallClick);
  box(p->nostill, &VirtualMachine::nostillClick);
  box(p->recinhibit, &VirtualMachine::recinhibitClick);
  box(p->nostatus, &VirtualMachine::nostatusClick);
  for (TVyoButton* key : p->rr)
    key->OnClick = [this](TVyoButton* sender) {
      Vm([i = sender->Tag()](VirtualMachine& vm) { vm.rr1Click(i); });
    };
  for (TVyoButton* key : p->ra)
    key->OnClick = [this](TVyoButton* sender) {
      Vm([i = sender->Tag()](VirtualMachine& vm) { vm.ra1Click(i); });
    };
  p->bank->OnClick = [this](TVyoButton*) { Vm([](VirtualMachine& vm) { vm.bankClick(); }); };
  connect(p->dd35clips1, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    const int row = Panel2->dd35clips1->row(item);
    Vm([row](VirtualMachine& vm) { vm.dd35clips1Click(row); });
  });
  connect(p->dd35clips2, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    const int row = Panel2->dd35clips2->row(item);
    Vm([row](VirtualMachine& vm) { vm.dd35clips2Click(row); });
  });
}

void TSelkieF::WireControlPanel() {
  ControlPanelView* p = Panel1;
  for (TVyoButton* key : {p->kstop, p->kplay, p->kfwd, p->krwd, p->koff, p->kedit})
    key->OnClick = [this](TVyoButton* sender) {
      Mc([tag = sender->Tag()](MachineController& mc) { mc.kplayClick(tag); });
    };
  p->krvsplay->OnClick = [this](TVyoButton*) {
    Mc([](MachineController& mc) { mc.krvsplayClick(); });
  };
  p->kgoto->OnMouseDown = [this](TVyoButton*, Qt::MouseButton button) { kgotoMouseDown(button); };
  p->kgoto->OnClick = [this](TVyoButton*) { kgotoClick(); };
  for (TVyoButton* key : p->kr)
    key->OnClick = [this](TVyoButton* sender) {
      Mc([n = sender->Tag()](MachineController& mc) { mc.kr1Click(n); });
    };
  for (TVyoButton* key : p->ka)
    key->OnClick = [this](TVyoButton* sender) {
      Mc([k = static_cast<FunctionKey>(sender->Tag())](MachineController& mc) { mc.ka1Click(k); });
    };
  p->kbank->OnClick = [this](TVyoButton*) { Mc([](MachineController& mc) { mc.kbankClick(); }); };
  connect(p->kediton, &QCheckBox::clicked, this,
          [this](bool on) { Mc([on](MachineController& mc) { mc.keditonClick(on); }); });
  p->bpoz->installEventFilter(this);
}

void TSelkieF::WireMenus() {
  MainMenu& m = *Menu;
  const auto on = [this](QAction* action, std::function<void()> handler) {
    connect(action, &QAction::triggered, this, [this, handler] { Guarded(handler); });
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
  on(m.rvslockdir, [this] { Vm([](VirtualMachine& vm) { vm.rvslockdirClick(); }); });
  for (QAction* item : m.identities)
    on(item, [this, tag = item->data().toInt()] {
      bool save = false;
      Vm([&](VirtualMachine& vm) { save = vm.DA881Click(tag); });
      if (save) SaveSettings();
    });
  on(m.EnterID1, [this] { EnterID1Click(); });
  for (QAction* item : m.StdGroup->actions())
    on(item, [this, tag = item->data().toInt()] {
      bool save = false;
      Vm([&](VirtualMachine& vm) { save = vm.N24P1Click(tag); });
      ApplyStandardInterval();
      if (save) SaveSettings();
    });
  for (QAction* item : m.unitNumbers)
    on(item, [this, tag = item->data().toInt()] {
      bool save = false;
      Vm([&](VirtualMachine& vm) { save = vm.None1Click(tag); });
      if (save) SaveSettings();
    });
  for (QAction* item : m.trackCounts)
    on(item, [this, tag = item->data().toInt()] {
      bool save = false;
      Vm([&](VirtualMachine& vm) { save = vm.Normal1Click(tag); });
      if (save) SaveSettings();
    });
  on(m.Help1, [this] { Help1Click(); });
}

// --- Start-up and settings ------------------------------------------------------------------

void TSelkieF::FormCreate() {
  const bool loaded = LoadSettings();
  if (loaded) RestoreWindowPlace();
  if (config_.demo) ApplyDemoPorts(loaded);
  vm_.RestoreSettings({record_.Standard, record_.MachineType, record_.UnitTracksByte,
                       record_.ExtendedIdReply != 0});
  vm_.ApplyStandard();
  ApplyStandardInterval();
  Timer1->start();
  Timer2->start();
  MirrorVm();
  MirrorController();
}

void TSelkieF::ApplyDemoPorts(bool loaded) {
  record_.PortANumber = PortMap::kCableA;
  record_.PortBNumber = PortMap::kCableB;
  record_.ShowVirtualMachine = 1;
  record_.ShowMachineControl = 1;
  if (!loaded) {
    record_.ShowOpenClose = 1;
    record_.ShowGpo = 1;
  }
}

bool TSelkieF::LoadSettings() {
  try {
    return settingsFile_.Load(record_);
  } catch (const SettingsError& e) {
    ShowError(e.what());
    return false;
  }
}

void TSelkieF::SaveSettings() {
  record_.WindowLeft = x();
  record_.WindowTop = y();
  const VmSettings vm = vm_.Settings();
  record_.Standard = vm.Standard;
  record_.MachineType = vm.MachineType;
  record_.UnitTracksByte = vm.UnitTracksByte;
  record_.ExtendedIdReply = vm.ExtendedIdReply ? 1 : 0;
  try {
    settingsFile_.Save(record_);
  } catch (const SettingsError& e) {
    ShowError(e.what());
  }
}

void TSelkieF::RestoreWindowPlace() {
  const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
  const int left = record_.WindowLeft;
  const int top = record_.WindowTop;
  if (static_cast<int64_t>(left) + 100 < desktop.width() &&
      static_cast<int64_t>(top) + 100 < desktop.height())
    move(left, top);
  else
    move(100, 100);
}

void TSelkieF::ApplyStandardInterval() {
  Timer1->setInterval(vm_.Panel().timer1IntervalMs);
  StatusPanels[1]->setText(QString::fromStdString(vm_.Panel().standardPanelText));
}

void TSelkieF::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TSelkieF::FormShow() {
  // A port that cannot be opened is reported, and the rest of the start-up still runs, so the
  // views, menus and settings file are never left half set up.
  Guarded([this] { open1Click(); });
  vm_.FormShow();
  ApplyStandardInterval();
  LayoutViews();
  SaveSettings();
  MirrorVm();
}

void TSelkieF::closeEvent(QCloseEvent* event) {
  ClosePortA();
  ClosePortB();
  if (keypad_) keypad_->hide();
  if (comms_) comms_->hide();
  QMainWindow::closeEvent(event);
}

void TSelkieF::LayoutViews() {
  Panel2->coma1->SetCaption("Com:" + QString::number(record_.PortANumber));
  Panel1->Comb1->SetCaption("Com:" + QString::number(record_.PortBNumber));
  const bool sync = record_.ShowSyncTest != 0;
  Menu->Synctest1->setChecked(sync);
  for (QWidget* w : {static_cast<QWidget*>(vsyncA), static_cast<QWidget*>(VsyncB),
                     static_cast<QWidget*>(lostlock)})
    w->setVisible(sync);
  int y = kGap;
  if (sync) y += vsyncA->height() + kGap;
  Timer1->setInterval(LayoutTimer1IntervalMs(sync));
  const std::tuple<QWidget*, uint8_t, QAction*> views[] = {
      {Panel2, record_.ShowVirtualMachine, Menu->VirtualMachine1},
      {Panel1, record_.ShowMachineControl, Menu->MachineControl1},
      {OpenClose, record_.ShowOpenClose, Menu->OpenClose1},
      {gpo, record_.ShowGpo, Menu->GPO1}};
  for (const auto& [view, flag, item] : views) {
    view->move(view->x(), y);
    view->setVisible(flag != 0);
    item->setChecked(flag != 0);
    if (flag != 0) y += view->height() + kGap;
  }
  Client->setFixedSize(Panel2->width() + 2 * Panel2->x(), y);
  setFixedSize(Client->width(), menuBar()->sizeHint().height() + y + StatusBar1->height());
}

int TSelkieF::ClientHeight() const { return Client->height() + StatusBar1->height(); }
int TSelkieF::ClientWidth() const { return Client->width(); }

void TSelkieF::ToggleView(uint8_t SettingsRecord::*flag) {
  record_.*flag = record_.*flag ? 0 : 1;
  LayoutViews();
  SaveSettings();
}

// --- Menu handlers --------------------------------------------------------------------------

void TSelkieF::Comms1Click() {
  if (comms_) comms_->ToggleShown();
}

void TSelkieF::bpozClick() {
  Panel1->bpoz->selectAll();
  QGuiApplication::clipboard()->setText(Panel1->bpoz->text());
}

void TSelkieF::GotoClipboard1Click() {
  const std::string text = QGuiApplication::clipboard()->text().toStdString();
  Mc([&text](MachineController& mc) { mc.GotoClipboard1Click(text); });
}

void TSelkieF::ZQVersion1Click() {
  Mc([](MachineController& mc) { mc.ZQVersion1Click(); });
}

void TSelkieF::EnterID1Click() {
  const std::optional<QString> text =
      Desktop.enterId(QString::fromStdString(vm_.EnterIdInitialText()));
  std::optional<std::string> error;
  Vm([&](VirtualMachine& vm) {
    error = vm.EnterID1Click(text ? std::optional<std::string>(text->toStdString()) : std::nullopt);
  });
  if (error) ShowError(QString::fromStdString(*error));
}

void TSelkieF::Help1Click() {
  const QString chosen = Desktop.chooseManual(QString::fromStdString(config_.programFolder.string()));
  if (chosen.isEmpty()) return;
  const QFileInfo file(chosen);
  if (file.exists())
    Desktop.openDocument(file.absoluteFilePath(), file.absolutePath());
  else
    Desktop.showMessage(file.fileName() + "  Not Found");
}

void TSelkieF::InstallSelkieDriver1Click() {
  const QString folder = QString::fromStdString(config_.programFolder.string());
  const QString installer = QString::fromStdString((config_.programFolder / "CDM_Setup.exe").string());
  if (QFileInfo::exists(installer))
    Desktop.openDocument(installer, folder);
  else
    Desktop.showMessage(installer + "  Not Found");
}

void TSelkieF::VmGoto() {
  if (!vm_.PanelKeysActive() || !keypad_) return;
  const int result = Desktop.runKeypad();
  std::optional<std::string> entry;
  if (result == KeypadU::kModalOk) entry = keypad_->Logic().EntryText();
  Vm([&entry](VirtualMachine& vm) { vm.vgotoClick(entry); });
}

void TSelkieF::kgotoMouseDown(Qt::MouseButton button) {
  if (button == Qt::LeftButton) {
    Guarded([this] { ControllerGoto(); });
    // When the keypad was not modal the press is still down; its release must not ask again.
    kgotoReleasePending_ = QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
  } else if (button == Qt::RightButton || button == Qt::MiddleButton) {
    GotoClipboard1Click();
  }
}

void TSelkieF::kgotoClick() {
  if (std::exchange(kgotoReleasePending_, false)) return;
  Guarded([this] { ControllerGoto(); });
}

void TSelkieF::ControllerGoto() {
  if (!keypad_) return;
  const int result = Desktop.runKeypad();
  const std::string entry = keypad_->Logic().EntryText();
  Mc([&](MachineController& mc) { mc.kgotoClick(result, entry); });
}

bool TSelkieF::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Panel1->bpoz && event->type() == QEvent::MouseButtonRelease) {
    Guarded([this] { bpozClick(); });
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

// --- Engines and mirroring ------------------------------------------------------------------

void TSelkieF::Guarded(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    ShowError(QString::fromStdString(e.what()));
  }
}

void TSelkieF::ShowError(const QString& message) {
  // Timers keep running while a box is open; one box at a time is enough.
  if (errorShowing_) return;
  errorShowing_ = true;
  Desktop.showError(message);
  errorShowing_ = false;
}

void TSelkieF::Vm(const std::function<void(VirtualMachine&)>& call) {
  Guarded([&] { call(vm_); });
  MirrorVm();
}

void TSelkieF::Mc(const std::function<void(MachineController&)>& call) {
  Guarded([&] { call(controller_); });
  MirrorController();
}

void TSelkieF::MirrorVm() {
  Panel2->Mirror(vm_);
  const VmPanel& p = vm_.Panel();
  MainMenu::CheckTag(Menu->IdGroup, p.machineChecked);
  MainMenu::CheckTag(Menu->StdGroup, p.standardChecked);
  MainMenu::CheckTag(Menu->UnitGroup, p.mcnNoChecked);
  MainMenu::CheckTag(Menu->TracksGroup, p.tracksChecked);
  Menu->rvslockdir->setChecked(p.rvslockdir);
}

void TSelkieF::MirrorController() {
  Panel1->Mirror(controller_.Panel());
  StatusPanels[0]->setText(QString::fromStdString(controller_.Panel().statusText));
}
