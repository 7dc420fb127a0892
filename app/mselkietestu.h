// TSelkieF, the main window "Selkie Test Program": the sync-test row, the "Virtual Machine" view
// (Panel2, port A), the "Machine Control" view (Panel1, port B), the port open/close panel, the
// GPO line-test panel and the status bar, with the menus of MainMenu.
//
// The window is a view of two engines: every event (port data, timer, modem status, click) calls
// the engine, writes what the engine returns to the port, and mirrors the engine's lamps and
// texts onto the widgets. It owns the serial ports (through ProgramPorts), the frame timers (with
// FrameSync deciding when the frame tick runs) and the settings record.
//
// Everything that would block on the user (error boxes, messages, the manual's file dialog, the
// port prompt, the keypad, the "Enter ID" dialog, opening a document) goes through Desktop, so a
// test can answer in place of the user.
#pragma once

#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "ControlPanelView.h"
#include "FrameSync.h"
#include "MachineController.h"
#include "MainMenu.h"
#include "ProgramPorts.h"
#include "SerialPort.h"
#include "SettingsFile.h"
#include "VirtualMachine.h"
#include "VmPanelView.h"
#include "VyoButton.h"

class TKeypadF;
class Tcommsf;

struct SelkieDesktop;

struct SelkieConfig {
  std::filesystem::path settingsPath;
  std::filesystem::path programFolder;  // manuals and the driver installer are looked up here
  bool demo = false;                    // ports A and B on the two ends of the virtual cable
  // Replaces some of the user's side before the window is created (tests answer for the user).
  std::function<void(SelkieDesktop&)> adjustDesktop;
};

struct SelkieDesktop {
  std::function<void(const QString& message)> showError;    // the application's error box
  std::function<void(const QString& message)> showMessage;  // a plain message box
  std::function<QString(const QString& folder)> chooseManual;  // a path, or empty on Cancel
  std::function<void(const QString& file, const QString& folder)> openDocument;
  PortPrompt promptPort;                                     // "Select Port"
  std::function<int()> runKeypad;                            // KeypadU::kModalOk or kModalAbort
  std::function<std::optional<QString>(const QString& initial)> enterId;  // nothing on Cancel
};

class TSelkieF : public QMainWindow {
 public:
  // Creating the window runs FormCreate: settings loaded, window placed, standard applied.
  TSelkieF(const SelkieConfig& config, EventInvokerPtr invoker, QWidget* parent = nullptr);
  ~TSelkieF() override;

  // The keypad and the comms monitor are created after the main window.
  void AttachWindows(TKeypadF* keypad, Tcommsf* comms);

  SelkieDesktop Desktop;

  // --- Controls ---------------------------------------------------------------------------------
  QWidget* Client;
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
  std::unique_ptr<MainMenu> Menu;
  QTimer* Timer1;
  QTimer* Timer2;
  TSerialPort SerialA;
  TSerialPort SerialB;

  // --- State ----------------------------------------------------------------------------------
  const SettingsRecord& Settings() const { return record_; }
  const VirtualMachine& Machine() const { return vm_; }
  const MachineController& Controller() const { return controller_; }
  const FrameSync& Sync() const { return sync_; }
  // The client area as the layout sets it: the views plus the status bar (menu bar excluded).
  int ClientHeight() const;
  int ClientWidth() const;

  // --- Handlers (what a user's action or an event runs) ----------------------------------------
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
  void Timer1Timer();
  void Timer2Timer();
  void FrameTick();
  void SerialATriggerAvail(uint16_t count);
  void SerialBTriggerAvail(uint16_t count);
  void SerialATriggerModemStatus();
  void SerialBTriggerModemStatus();
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
  void LayoutViews();
  void SaveSettings();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildWindow();
  void BuildSyncRow();
  void BuildOpenClose();
  void BuildGpo();
  void BuildStatusBar();
  void WireSerial();
  void WireVmPanel();
  void WireControlPanel();
  void WireMenus();
  void WireSyncAndPorts();

  void FormCreate();
  void FormShow();
  bool LoadSettings();
  void RestoreWindowPlace();
  void ApplyDemoPorts(bool loaded);
  void ApplyStandardInterval();
  void OpenPortA();
  void OpenPortB();
  void ClosePortA();
  void ClosePortB();
  void ApplySyncStep(const SyncStep& step, PortSide side);
  void VmGoto();
  void ControllerGoto();
  void EnterID1Click();

  // Runs `action`; an exception reaches the user as the application's error box.
  void Guarded(const std::function<void()>& action);
  void ShowError(const QString& message);
  // Runs an engine call, then mirrors both engines onto the widgets.
  void Vm(const std::function<void(VirtualMachine&)>& call);
  void Mc(const std::function<void(MachineController&)>& call);
  void MirrorVm();
  void MirrorController();
  void MirrorPortLamps();
  void MirrorSync();
  void InstallDefaultDesktop();

  SelkieConfig config_;
  SettingsFile settingsFile_;
  SettingsRecord record_;
  VirtualMachine vm_;
  MachineController controller_;
  FrameSync sync_;
  ProgramPorts ports_;
  TKeypadF* keypad_ = nullptr;
  Tcommsf* comms_ = nullptr;
  bool shown_ = false;
  bool errorShowing_ = false;
  bool kgotoReleasePending_ = false;  // a left press on kgoto already ran kgotoClick
};
