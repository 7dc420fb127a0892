#include "mselkietestu.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <utility>

#include "KeypadF.h"
#include "MachineIdentity.h"
#include "PanelWidgets.h"
#include "PersonalityFile.h"
#include "PortMap.h"
#include "PortSelectForm.h"
#include "ReadableText.h"
#include "WindowFit.h"
#include "ZQDialog.h"
#include "vcommsu.h"

namespace {
constexpr int kGap = 4;
constexpr int kStatusBarHeight = 20;
constexpr int kTitleBarHeight = 20;  // what a window manager adds above the menu bar, at least
const QString kAppTitle = "Selkie Test";
}  // namespace

TSelkieF::TSelkieF(const SelkieConfig& config, std::shared_ptr<QtInvoker> guiInvoker,
                   QWidget* parent)
    : QMainWindow(parent), config_(config) {
  setObjectName("SelkieF");
  setWindowTitle("Selkie Test Program");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  // The system's highlight colour behind the system's text colour or its highlighted-text colour,
  // whichever reads better, so that a dark theme stays as readable as a light one.
  QPalette palette = this->palette();
  const QColor back = palette.color(QPalette::Highlight);
  palette.setColor(QPalette::Window, back);
  palette.setColor(QPalette::WindowText, ReadableOn(back, palette.color(QPalette::WindowText),
                                                    palette.color(QPalette::HighlightedText)));
  setPalette(palette);
  InstallDefaultDesktop();
  if (config_.adjustDesktop) config_.adjustDesktop(Desktop);
  BuildWindow();
  WireVmPanel();
  WireControlPanel();
  WireMenus();
  WirePortKeys();
  resize(636, 489);
  move(326, 2);
  EngineHostConfig host;
  host.settingsPath = config_.settingsPath;
  host.demo = config_.demo;
  host.capturePath = config_.capturePath;
  std::optional<std::string> personalityError;
  if (config_.personality) {
    // A personality that cannot be used is reported; the machine starts plain.
    try {
      host.personality = LoadPersonality(*config_.personality);
    } catch (const PersonalityError& e) {
      personalityError = e.what();
    }
  }
  // The host's notices reach the window on the GUI thread; one that arrives after the window has
  // gone finds nothing to do.
  host_ = std::make_unique<EngineHost>(host, [guiInvoker, window = QPointer<TSelkieF>(this)] {
    guiInvoker->Invoke(
        [window] {
          if (window) window->TakeHostOutput();
        },
        0);
  });
  FormCreate();
  if (personalityError) Desktop.showError(QString::fromStdString(*personalityError));
}

TSelkieF::~TSelkieF() { host_->Stop(); }

void TSelkieF::AttachWindows(TKeypadF* keypad, Tcommsf* comms) {
  keypad_ = keypad;
  comms_ = comms;
  comms_->installEventFilter(this);
  connect(comms_->kshow, &QCheckBox::toggled, this, [this] { SendMonitorState(); });
  connect(comms_->kdecode, &QCheckBox::toggled, this, [this] { SendMonitorState(); });
  connect(Menu->ReplyTimes1, &QAction::triggered, comms_, [this] { comms_->ShowReplyTimes(); });
  SendMonitorState();
}

void TSelkieF::SendMonitorState() {
  const bool showComs = comms_ && comms_->ShowComs();
  const bool visible = comms_ && comms_->IsShown();
  const bool decode = comms_ && comms_->DecodeChecked();
  Post([showComs, visible, decode](HostCore& host) {
    host.SetMonitorState(showComs, visible);
    host.SetDecoding(decode);
  });
}

void TSelkieF::SendPlace() {
  if (pos() == sentPlace_) return;
  sentPlace_ = pos();
  host_->Post([left = x(), top = y()](HostCore& host) { host.SetWindowPlace(left, top); });
}

void TSelkieF::Post(EngineHost::Action action) {
  SendPlace();
  host_->Post(std::move(action));
}

void TSelkieF::PostVm(std::function<void(VirtualMachine&)> call) {
  Post([call = std::move(call)](HostCore& host) { host.Vm(call); });
}

void TSelkieF::PostVmSave(std::function<bool(VirtualMachine&)> call) {
  Post([call = std::move(call)](HostCore& host) { host.VmSave(call); });
}

void TSelkieF::PostMc(std::function<void(MachineController&)> call) {
  Post([call = std::move(call)](HostCore& host) { host.Mc(call); });
}

// --- Building -------------------------------------------------------------------------------

void TSelkieF::BuildWindow() {
  auto* body = new QWidget(this);
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  Scroll = new QScrollArea(body);
  Scroll->setObjectName("Scroll");
  Scroll->setFrameShape(QFrame::NoFrame);
  Scroll->setWidgetResizable(false);
  Client = new QWidget;
  Client->setObjectName("Client");
  Client->setAutoFillBackground(true);
  Scroll->setWidget(Client);
  column->addWidget(Scroll);
  BuildHint();
  column->addWidget(Hint);
  setCentralWidget(body);
  BuildSyncRow();
  Panel2 = new VmPanelView(Client);
  Panel2->move(kGap, 38);
  Panel1 = new ControlPanelView(Client);
  Panel1->move(kGap, 301);
  BuildOpenClose();
  BuildGpo();
  BuildStatusBar();
  Menu = std::make_unique<MainMenu>(menuBar());
  menuBar()->installEventFilter(this);
}

void TSelkieF::BuildSyncRow() {
  vsyncA = MakeKey(Client, "vsyncA", "No Sync A", {4, 4, 109, 30}, LampScheme::Amber);
  VsyncB = MakeKey(Client, "VsyncB", "No Sync B", {108, 4, 109, 30}, LampScheme::Amber);
  lostlock = MakeKey(Client, "lostlock", "0", {216, 4, 45, 30});
  lostlock->setToolTip("Sync pulses lost; click to set it to 0");
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
  rtsa->setToolTip("Request To Send output of port A: lit while it is off");
  rtsb = MakeKey(gpo, "rtsb", "RTSB", {68, 4, 61, 22});
  dtra = MakeKey(gpo, "dtra", "DTRA", {132, 4, 61, 22});
  DTRB = MakeKey(gpo, "DTRB", "DTRB", {196, 4, 61, 22});
  rtsb->setToolTip("Request To Send output of port B: lit while it is off");
  dtra->setToolTip("Data Terminal Ready output of port A: lit while it is off");
  DTRB->setToolTip("Data Terminal Ready output of port B: lit while it is off");
  static const char* const kLampTips[] = {"Data Set Ready", "Data Carrier Detect",
                                          "Ring Indicator"};
  const std::pair<TVyoButton**, const char*> lamps[] = {{&DSRA, "DSRA"}, {&dsrb, "DSRB"},
                                                        {&dcda, "DCDA"}, {&dcdb, "DCDB"},
                                                        {&ria, "RIA"},   {&rib, "RIB"}};
  static const char* const kNames[] = {"DSRA", "dsrb", "dcda", "dcdb", "ria", "rib"};
  int x = 4;
  for (std::size_t i = 0; i < std::size(lamps); ++i, x += 43) {
    *lamps[i].first = MakeKey(gpo, kNames[i], lamps[i].second, {x, 30, 40, 22}, LampScheme::Amber);
    (*lamps[i].first)->SetTabStop(false);
    (*lamps[i].first)
        ->setToolTip(QString("%1 input of port %2 (dark while the port is closed)")
                         .arg(kLampTips[i / 2])
                         .arg(i % 2 == 0 ? 'A' : 'B'));
  }
}

void TSelkieF::BuildHint() {
  Hint = new QLabel(
      "No panel is shown yet.\n\n"
      "View > Virtual Machine shows the machine that answers an editor on port A; "
      "View > Machine Control shows the controller of a machine on port B; "
      "Open/Close and GPO add the port keys and the line tests.\n\n"
      "To try both sides without hardware, start the program as  selkietest --demo : "
      "ports A and B are then the two ends of a virtual cable.",
      this);
  Hint->setObjectName("Hint");
  Hint->setWordWrap(true);
  Hint->setMargin(12);
  Hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Hint->hide();
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
  CaptureStatus = new QLabel(StatusBar1);
  CaptureStatus->setObjectName("CaptureStatus");
  CaptureStatus->hide();
  StatusBar1->addWidget(CaptureStatus, 1);
  static const char* const kLinkNames[] = {"linkA", "linkB"};
  for (std::size_t i = 0; i < LinkPanels.size(); ++i) {
    LinkPanels[i] = new QLabel(StatusBar1);
    LinkPanels[i]->setObjectName(kLinkNames[i]);
    LinkPanels[i]->setFrameShape(QFrame::Panel);
    LinkPanels[i]->setFrameShadow(QFrame::Sunken);
    LinkPanels[i]->setToolTip(QString("Port %1: replies/requests, timeouts, checksum failures, age "
                                      "of the last reply")
                                  .arg(i == 0 ? 'A' : 'B'));
    StatusBar1->addWidget(LinkPanels[i], 1);
  }
  setStatusBar(StatusBar1);
  // The reply ages keep counting while nothing else changes.
  auto* ages = new QTimer(this);
  connect(ages, &QTimer::timeout, this, [this] { MirrorLinks(); });
  ages->start(500);
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
  Desktop.chooseCapture = [this] {
    QFileDialog dialog(this, "Capture to File", QString(), "Capture files (*.txt);;All files (*)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("txt");
    // The capture is appended to a file that exists.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().front()
               : QString();
  };
  Desktop.chooseRack = [this] {
    return QFileDialog::getOpenFileName(this, "Open Rack", QString(),
                                        "Rack files (*.toml);;All files (*)");
  };
  Desktop.choosePersonality = [this] {
    return QFileDialog::getOpenFileName(this, "Personality", QString(),
                                        "Personality files (*.toml);;All files (*)");
  };
  Desktop.availableArea = [this] {
    const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
    return where ? where->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
  };
  Desktop.confirm = [this](const QString& plan) {
    return QMessageBox::question(this, kAppTitle, plan) == QMessageBox::Yes;
  };
  Desktop.runProgram = [](const QString& program, const QStringList& arguments) {
    return QProcess::execute(program, arguments);
  };
  Desktop.openDocument = [](const QString& file, const QString&) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(file));
  };
  Desktop.promptPort = [](const std::vector<SerialSelectEntry>& entries) {
    return TPortSelectForm::Prompt(entries);
  };
  Desktop.runKeypad = [this](const QString& title) {
    keypad_->setWindowTitle(title);
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

// --- Start-up and settings ------------------------------------------------------------------

void TSelkieF::FormCreate() {
  try {
    host_->Start();
  } catch (const std::exception& e) {
    Desktop.showError(QString::fromStdString(e.what()));
  }
  if (!config_.rack.empty()) Post([rack = config_.rack](HostCore& host) { host.OpenRack(rack); });
  TakeHostOutput();
  if (shown_.settingsLoaded) RestoreWindowPlace();
}

void TSelkieF::RestoreWindowPlace() {
  const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
  const int left = shown_.record.WindowLeft;
  const int top = shown_.record.WindowTop;
  const bool onDesktop = static_cast<int64_t>(left) + 100 < desktop.width() &&
                         static_cast<int64_t>(top) + 100 < desktop.height();
  move(onDesktop && TitleBarVisible(left, top) ? QPoint(left, top) : QPoint(100, 100));
  KeepOnScreen();
}

bool TSelkieF::TitleBarVisible(int left, int top) const {
  // The saved place is the frame's corner; a window whose title bar is on no screen cannot be
  // dragged back by the user.
  // In 64 bits: a damaged record may hold any 32-bit place.
  const int64_t right = static_cast<int64_t>(left) + width();
  const int64_t bottom = static_cast<int64_t>(top) + kTitleBarHeight;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect area = screen->geometry();
    if (left <= area.right() && right > area.left() && top <= area.bottom() && bottom > area.top())
      return true;
  }
  return false;
}

void TSelkieF::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_once_) return;
  shown_once_ = true;
  // Once the window system has placed the window, so that the place saved is where it stands.
  QTimer::singleShot(0, this, [this] {
    FitToScreen();  // now with the frame the window manager gave it
    SendPlace();
    host_->Show(false);
  });
}

void TSelkieF::closeEvent(QCloseEvent* event) {
  closing_ = true;
  host_->Stop();
  TakeHostOutput();
  if (keypad_) keypad_->hide();
  if (comms_) comms_->hide();
  QMainWindow::closeEvent(event);
}

void TSelkieF::LayoutViews() {
  const SettingsRecord& record = shown_.record;
  Panel2->coma1->SetCaption("Com:" + QString::number(record.PortANumber));
  Panel1->Comb1->SetCaption("Com:" + QString::number(record.PortBNumber));
  const bool sync = record.ShowSyncTest != 0;
  Menu->Synctest1->setChecked(sync);
  for (QWidget* w : {static_cast<QWidget*>(vsyncA), static_cast<QWidget*>(VsyncB),
                     static_cast<QWidget*>(lostlock)})
    w->setVisible(sync);
  int y = kGap;
  if (sync) y += vsyncA->height() + kGap;
  const std::tuple<QWidget*, uint8_t, QAction*> views[] = {
      {Panel2, record.ShowVirtualMachine, Menu->VirtualMachine1},
      {Panel1, record.ShowMachineControl, Menu->MachineControl1},
      {OpenClose, record.ShowOpenClose, Menu->OpenClose1},
      {gpo, record.ShowGpo, Menu->GPO1}};
  for (const auto& [view, flag, item] : views) {
    view->move(view->x(), y);
    view->setVisible(flag != 0);
    item->setChecked(flag != 0);
    if (flag != 0) y += view->height() + kGap;
  }
  Client->setFixedSize(Panel2->width() + 2 * Panel2->x(), y);
  Hint->setVisible(y == kGap);
  FitToScreen();
}

// The window takes what its views need, cut to the screen's available area; the views scroll in
// what is left.
void TSelkieF::FitToScreen() {
  const int hint = Hint->isVisibleTo(this) ? std::max(Hint->heightForWidth(Client->width()), 0) : 0;
  Hint->setFixedHeight(hint);
  const int bars = menuBar()->sizeHint().height() + StatusBar1->height();
  const QSize wanted(Client->width(), bars + Client->height() + hint);
  fittedFrame_ = FrameExtra();
  const QSize size = FitWindow(wanted, fittedFrame_, Desktop.availableArea(),
                               Scroll->verticalScrollBar()->sizeHint().width());
  Scroll->setFixedHeight(std::max(0, size.height() - bars - hint));
  // Only a window narrower than the views scrolls sideways; a fractional scale factor may round
  // the width a pixel short of the views and their scroll bar.
  Scroll->setHorizontalScrollBarPolicy(size.width() >= wanted.width() ? Qt::ScrollBarAlwaysOff
                                                                      : Qt::ScrollBarAsNeeded);
  setFixedSize(size);
  KeepOnScreen();
}

void TSelkieF::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  // The window manager framed the window after it was shown: fit again with the real frame.
  if (isVisible() && FrameExtra() != fittedFrame_) FitToScreen();
}

QSize TSelkieF::FrameExtra() const {
  // Before the window manager has framed the window, room for a title bar and borders.
  if (!isVisible()) return {8, 32};
  return frameGeometry().size() - size();
}

void TSelkieF::KeepOnScreen() {
  const QRect frame(pos(), size() + FrameExtra());
  const QPoint inside = KeepInside(frame, Desktop.availableArea());
  if (inside != pos()) move(inside);
}

int TSelkieF::ClientHeight() const { return Client->height() + StatusBar1->height(); }
int TSelkieF::ClientWidth() const { return Client->width(); }

void TSelkieF::ToggleView(uint8_t SettingsRecord::*flag) {
  Post([flag](HostCore& host) { host.ToggleView(flag); });
}

// --- Menu handlers --------------------------------------------------------------------------

void TSelkieF::Comms1Click() {
  if (comms_) comms_->ToggleShown();  // the monitor's show and hide events tell the host
}

void TSelkieF::bpozClick() {
  Panel1->bpoz->selectAll();
  QGuiApplication::clipboard()->setText(Panel1->bpoz->text());
}

void TSelkieF::GotoClipboard1Click() {
  const std::string text = QGuiApplication::clipboard()->text().toStdString();
  PostMc([text](MachineController& mc) { mc.GotoClipboard1Click(text); });
}

void TSelkieF::ZQVersion1Click() {
  PostMc([](MachineController& mc) { mc.ZQVersion1Click(); });
}

void TSelkieF::EnterID1Click() {
  const std::optional<QString> text = Desktop.enterId(QString::fromStdString(shown_.enterIdText));
  Post([entry = text ? std::optional<std::string>(text->toStdString())
                     : std::nullopt](HostCore& host) { host.EnterId(entry); });
}

GotoAnswer TSelkieF::VmGoto(const QString& title) {
  if (!keypad_) return {};
  GotoAnswer answer;
  answer.asked = true;
  if (Desktop.runKeypad(title) == KeypadU::kModalOk) answer.entry = keypad_->Logic().EntryText();
  return answer;
}

void TSelkieF::kgotoMouseDown(Qt::MouseButton button) {
  if (button == Qt::LeftButton) {
    ControllerGoto();
    // When the keypad was not modal the press is still down; its release must not ask again.
    kgotoReleasePending_ = QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
  } else if (button == Qt::RightButton || button == Qt::MiddleButton) {
    GotoClipboard1Click();
  }
}

void TSelkieF::kgotoClick() {
  if (std::exchange(kgotoReleasePending_, false)) return;
  ControllerGoto();
}

void TSelkieF::ControllerGoto() {
  if (!keypad_) return;
  const int result = Desktop.runKeypad(windowTitle());
  const std::string entry = keypad_->Logic().EntryText();
  PostMc([result, entry](MachineController& mc) { mc.kgotoClick(result, entry); });
}

bool TSelkieF::eventFilter(QObject* watched, QEvent* event) {
  if (watched == comms_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
    SendMonitorState();
  if (watched == menuBar() && event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    if (MainMenu::ShowTip(menuBar(), help->pos(), help->globalPos())) return true;
  }
  if (watched == Panel1->bpoz && event->type() == QEvent::MouseButtonRelease) {
    bpozClick();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}
