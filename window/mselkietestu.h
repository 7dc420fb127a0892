// TSelkieF, the main window "Selkie Test Program": the sync-test row, the "Virtual Machine" view
// (Panel2, port A), the "Machine Control" view (Panel1, port B), the port open/close panel, the
// GPO line-test panel and the status bar, with the menus of MainMenu.
//
// The window is a view. Ports, engines, frame timers and the settings record belong to the engine
// host, which runs on a thread of its own: every click, key and menu item is posted to it, and
// the window mirrors the snapshots it publishes (SelkieMirror.cpp). The window never waits for
// the host except at start and close, so a dialog, a paint or a slow disk never delays a reply.
//
// Everything that would block on the user (error boxes, messages, the manual's file dialog, the
// port prompt, the keypad, the "Enter ID" dialog, opening a document) goes through Desktop, so a
// test can answer in place of the user.
#pragma once

#include <QMainWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QStringList>
#include <array>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "ControlPanelView.h"
#include "EngineHost.h"
#include "MainMenu.h"
#include "QtInvoker.h"
#include "RackView.h"
#include "SerialSelect.h"
#include "VmPanelView.h"
#include "VyoButton.h"

class TKeypadF;
class Tcommsf;

struct SelkieDesktop;

struct SelkieConfig {
  std::filesystem::path settingsPath;
  std::filesystem::path programFolder;  // manuals and the driver installer are looked up here
  // Where Help's dialog opens; empty: the program's folder.
  std::filesystem::path manualFolder;
  // The adapter helper that "Install Selkie Driver" runs through pkexec on Linux; empty: none.
  std::filesystem::path adapterHelper;
  bool demo = false;                       // ports A and B on the two ends of the virtual cable
  std::optional<std::string> capturePath;  // capture both ports' traffic from the start
  std::optional<std::string> personality;  // the virtual machine's: a file or a built-in name
  std::vector<RackEntry> rack;             // a rack to run from the start (its view opens)
  // Replaces some of the user's side before the window is created (tests answer for the user).
  std::function<void(SelkieDesktop&)> adjustDesktop;
};

struct SelkieDesktop {
  std::function<void(const QString& message)> showError;       // the application's error box
  std::function<void(const QString& message)> showMessage;     // a plain message box
  std::function<QString(const QString& folder)> chooseManual;  // a path, or empty on Cancel
  std::function<void(const QString& file, const QString& folder)> openDocument;
  PortPrompt promptPort;  // "Select Port"
  // KeypadU::kModalOk or kModalAbort; `title` names the window that asks.
  std::function<int(const QString& title)> runKeypad;
  std::function<std::optional<QString>(const QString& initial)> enterId;  // nothing on Cancel
  std::function<QString()> chooseCapture;      // "Capture to File...": a path, or empty on Cancel
  std::function<QString()> choosePersonality;  // "Personality...": a path, or empty on Cancel
  std::function<QString()> chooseRack;         // "Open Rack...": a path, or empty on Cancel
  // "Install Selkie Driver" on Linux: what the helper will do, asked before it runs; true: go.
  std::function<bool(const QString& plan)> confirm;
  // Runs a program and waits for it; its exit status, or -1 when it could not be started.
  std::function<int(const QString& program, const QStringList& arguments)> runProgram;
  // The area of the window's screen that the window must stay in (the panels and docks left out).
  std::function<QRect()> availableArea;
};

class TSelkieF : public QMainWindow {
 public:
  // Creating the window runs FormCreate: the engine host started with the settings loaded, the
  // window placed. `guiInvoker` carries the host's notices to the GUI thread.
  TSelkieF(const SelkieConfig& config, std::shared_ptr<QtInvoker> guiInvoker,
           QWidget* parent = nullptr);
  ~TSelkieF() override;

  // The keypad and the comms monitor are created after the main window.
  void AttachWindows(TKeypadF* keypad, Tcommsf* comms);

  SelkieDesktop Desktop;

  // --- Controls ---------------------------------------------------------------------------------
  QScrollArea* Scroll;  // holds Client; scrolls when the screen is smaller than the views
  QWidget* Client;
  QLabel* Hint;  // shown while every view is hidden: how to show the panels
  TVyoButton *vsyncA, *VsyncB, *lostlock;
  VmPanelView* Panel2;
  ControlPanelView* Panel1;
  QFrame* OpenClose;
  TVyoButton *close1, *open1;
  QPushButton* Reset1;
  QFrame* gpo;
  TVyoButton *rtsa, *rtsb, *dtra, *DTRB;
  TVyoButton *DSRA, *dsrb, *dcda, *dcdb, *ria, *rib;
  QStatusBar* StatusBar1;
  std::array<QLabel*, 3> StatusPanels{};
  QLabel* CaptureStatus = nullptr;      // "Capturing to <file>" while a capture runs
  std::array<QLabel*, 2> LinkPanels{};  // beside panel 2: the link health of ports A and B
  std::unique_ptr<MainMenu> Menu;

  // --- State ----------------------------------------------------------------------------------
  // The host's state as the window last showed it.
  const HostSnapshot& Shown() const { return shown_; }
  EngineHost& Host() { return *host_; }
  // Collects what the host has published and shows it (the host's notices run this).
  void TakeHostOutput();
  // The client area as the layout sets it: the views plus the status bar (menu bar and the
  // first-start hint excluded), whether or not the window is cut to fit its screen.
  int ClientHeight() const;
  int ClientWidth() const;

  // --- Handlers (what a user's action runs) -----------------------------------------------------
  void open1Click();
  void close1Click();
  void Reset1Click();
  void ComA1Click();
  void ComB1Click();
  void coma2Click();
  void comb2Click();
  void dtraClick();
  void rtsaClick();
  void DTRBClick();
  void rtsbClick();
  void lostlockClick();
  void ToggleView(uint8_t SettingsRecord::*flag);
  void Comms1Click();
  void bpozClick();
  // The Goto key: a left press opens the keypad (kgotoClick), a right or middle press locates
  // to the clipboard's time code; kgotoClick also serves Enter on the key.
  void kgotoMouseDown(Qt::MouseButton button);
  void kgotoClick();
  void GotoClipboard1Click();
  void ZQVersion1Click();
  void Help1Click();
  void InstallSelkieDriver1Click();
  void CaptureToFile1Click();
  void StopCapture1Click();
  void BridgeAB1Click(bool on);
  void Personality1Click();
  void DefaultPersonality1Click();
  void OpenRack1Click();  // SelkieRack.cpp
  RackView* Rack() const { return rackView_; }
  void LayoutViews();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildWindow();
  void BuildSyncRow();
  void BuildOpenClose();
  void BuildGpo();
  void BuildStatusBar();
  void BuildHint();
  void FitToScreen();
  QSize FrameExtra() const;
  void KeepOnScreen();
  void RunAdapterHelper();
  void WireVmPanel();
  void WireControlPanel();
  void WireMenus();
  void WirePortKeys();

  void FormCreate();
  void RestoreWindowPlace();
  bool TitleBarVisible(int left, int top) const;
  // A virtual machine's Goto key: the keypad's entry (the main panel's and the rack's).
  GotoAnswer VmGoto(const QString& title);
  void ControllerGoto();
  void EnterID1Click();

  // Queues `action` for the host, after the window's place if it moved since the last action.
  void Post(EngineHost::Action action);
  void SendPlace();
  void PostVm(std::function<void(VirtualMachine&)> call);
  void PostVmSave(std::function<bool(VirtualMachine&)> call);
  void PostMc(std::function<void(MachineController&)> call);
  void SendMonitorState();
  void InstallDefaultDesktop();

  // SelkieRack.cpp
  void MirrorRack(const std::vector<RackRow>& rows);

  // SelkieMirror.cpp
  void Mirror(const HostSnapshot& snapshot);
  void MirrorMenus(const VmPanel& panel);
  void MirrorPorts(const HostSnapshot& snapshot);
  void MirrorSync(const HostSnapshot& snapshot);
  void MirrorTraffic(const HostSnapshot& snapshot);
  void MirrorLinks();
  void ShowErrors(std::vector<std::string> errors);
  void AskPort(const PortQuestion& question);
  void LogErrors();

  SelkieConfig config_;
  RackView* rackView_ = nullptr;
  std::unique_ptr<EngineHost> host_;
  HostSnapshot shown_;
  std::optional<QPoint> sentPlace_;
  TKeypadF* keypad_ = nullptr;
  Tcommsf* comms_ = nullptr;
  bool shown_once_ = false;
  bool laidOut_ = false;
  std::deque<QString> errors_;
  bool errorShowing_ = false;
  // Closing: no more boxes or prompts; what is left goes to stderr.
  bool closing_ = false;
  bool kgotoReleasePending_ = false;  // a left press on kgoto already ran kgotoClick
  QSize fittedFrame_;                 // the frame the window was last fitted with
};
