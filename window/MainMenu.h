// MainMenu1, the main window's menu bar: every item with its name (objectName), caption,
// shortcut, tag (data) and radio group. The window connects the items to its handlers and sets
// the check marks from the engines' state.
#pragma once

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <array>

// An item of the "Mcn No." or "Tracks" menu: object name, caption, tag. A rack machine's window
// builds the same items.
struct MenuItemText {
  const char* name;
  const char* caption;
  int tag;
};
extern const std::array<MenuItemText, 5> kUnitNumberItems;
extern const std::array<MenuItemText, 5> kTrackCountItems;

struct MainMenu {
  // Builds the menus into `bar`; radio groups allow "none checked" so a window can mirror any
  // engine state.
  explicit MainMenu(QMenuBar* bar);

  QMenu* File1;  // captures: CaptureOpener.h fills "Recent Captures"
  QAction* OpenCapture1;
  QMenu* RecentCaptures1;
  QAction* OpenRack1;
  QMenu* View1;
  QAction *Synctest1, *MachineControl1, *VirtualMachine1, *OpenClose1, *GPO1, *Comms1;
  QAction* ReplyTimes1;  // the comms monitor's reply-time plots
  QMenu* Tools1;
  QAction *Macrokey1, *GotoClipboard1, *ZQVersion1, *InstallSelkieDriver1, *rvslockdir;
  QAction *CaptureToFile1, *StopCapture1, *BridgeAB1;
  QMenu* ID1;
  std::array<QAction*, 17> identities{};  // tag 0..16
  QAction* EnterID1;
  QActionGroup* IdGroup;
  QMenu* Std1;
  QAction *N24P1, *PAL251, *SMPTENonDrop1, *SMPTEDrop1;
  QActionGroup* StdGroup;
  QMenu* Machine1;
  std::array<QAction*, 5> unitNumbers{};  // None1, N11, N21, N31, N41: tags 0..4
  QActionGroup* UnitGroup;
  QMenu* Tracks1;
  std::array<QAction*, 5> trackCounts{};  // Normal1 .. ThirtyTwo1: tags 0, 16, 32, 48, 64
  QActionGroup* TracksGroup;
  // The virtual machine's personality: a file, or back to the plain machine.
  QMenu* VmMachine1;
  QAction *Personality1, *DefaultPersonality1;
  QAction* Help1;
  // After the designed items: opens the About box by itself, as no handler of the window's.
  QAction* About1;

  // The menu bar shows no tips of its own: shows the tip of the title at `at`, if it has one.
  static bool ShowTip(QMenuBar* bar, const QPoint& at, const QPoint& globalAt);

  // Checks the item of `group` whose tag is `tag`, and unchecks the others (none for no match).
  static void CheckTag(QActionGroup* group, int tag);
};
