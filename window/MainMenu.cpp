#include "MainMenu.h"

#include <QToolTip>

#include "AboutBox.h"
#include "MachineIdentity.h"
#include "VmPanel.h"

const std::array<MenuItemText, 5> kUnitNumberItems{
    {{"None1", "None", 0}, {"N11", "1", 1}, {"N21", "2", 2}, {"N31", "3", 3}, {"N41", "4", 4}}};
const std::array<MenuItemText, 5> kTrackCountItems{{{"Normal1", "Normal", 0},
                                                    {"Eight1", "Eight", 16},
                                                    {"Sixteen1", "Sixteen", 32},
                                                    {"Twentyfour1", "Twentyfour", 48},
                                                    {"ThirtyTwo1", "ThirtyTwo", 64}}};

namespace {

QAction* Item(QMenu* menu, const char* name, const QString& caption, bool checkable = false) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(name);
  action->setCheckable(checkable);
  return action;
}

QAction* RadioItem(QMenu* menu, QActionGroup* group, const char* name, const QString& caption,
                   int tag) {
  QAction* action = Item(menu, name, caption, true);
  action->setData(tag);
  group->addAction(action);
  return action;
}

QActionGroup* Group(QObject* parent, const char* name) {
  auto* group = new QActionGroup(parent);
  group->setObjectName(name);
  group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  return group;
}

}  // namespace

MainMenu::MainMenu(QMenuBar* bar) {
  File1 = bar->addMenu("&File");
  File1->setObjectName("File1");
  OpenCapture1 = Item(File1, "OpenCapture1", "Open Capture...");
  RecentCaptures1 = File1->addMenu("Recent Captures");
  RecentCaptures1->setObjectName("RecentCaptures1");
  OpenRack1 = Item(File1, "OpenRack1", "Open Rack...");

  View1 = bar->addMenu("&View");
  View1->setObjectName("View1");
  Synctest1 = Item(View1, "Synctest1", "Sync test", true);
  MachineControl1 = Item(View1, "MachineControl1", "Machine Control", true);
  MachineControl1->setChecked(true);
  VirtualMachine1 = Item(View1, "VirtualMachine1", "Virtual Machine", true);
  VirtualMachine1->setChecked(true);
  OpenClose1 = Item(View1, "OpenClose1", "Open/Close", true);
  GPO1 = Item(View1, "GPO1", "GPO", true);
  Comms1 = Item(View1, "Comms1", "Comms");
  ReplyTimes1 = Item(View1, "ReplyTimes1", "Reply Times");

  Tools1 = bar->addMenu("&Tools");
  Tools1->setObjectName("Tools1");
  Macrokey1 = Item(Tools1, "Macrokey1", "Controller TC -> Clipboard");
  Macrokey1->setShortcut(QKeySequence(Qt::Key_F11));
  GotoClipboard1 = Item(Tools1, "GotoClipboard1", "Goto Clipboard");
  GotoClipboard1->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F11));
  ZQVersion1 = Item(Tools1, "ZQVersion1", "ZQ Version");
  ZQVersion1->setShortcut(QKeySequence(Qt::Key_F10));
  InstallSelkieDriver1 = Item(Tools1, "InstallSelkieDriver1", "Install Selkie Driver");
  rvslockdir = Item(Tools1, "rvslockdir", "Reverse Lock rvs", true);
  Tools1->addSeparator();
  CaptureToFile1 = Item(Tools1, "CaptureToFile1", "Capture to File...");
  StopCapture1 = Item(Tools1, "StopCapture1", "Stop Capture");
  StopCapture1->setEnabled(false);
  BridgeAB1 = Item(Tools1, "BridgeAB1", "Bridge A-B", true);

  ID1 = bar->addMenu("&Mcn");
  ID1->setObjectName("ID1");
  ID1->menuAction()->setToolTip("Machine: the machine type the virtual machine poses as");
  IdGroup = Group(ID1, "IdGroup");
  for (int tag = 0; tag < kMachineTypes; ++tag) {
    const MachineIdentity& id = IdentityOf(tag);
    identities[static_cast<std::size_t>(tag)] =
        RadioItem(ID1, IdGroup, std::string(id.item).c_str(),
                  QString::fromUtf8(id.caption.data(), static_cast<int>(id.caption.size())), tag);
  }
  EnterID1 = RadioItem(ID1, IdGroup, "EnterID1", "Enter ID", kEnterIdItem);
  identities[0]->setChecked(true);

  Std1 = bar->addMenu("&STD");
  Std1->setObjectName("Std1");
  Std1->menuAction()->setToolTip("Standard: the virtual machine's frame rate");
  StdGroup = Group(Std1, "StdGroup");
  N24P1 = RadioItem(Std1, StdGroup, "N24P1", "24P", 2);
  PAL251 = RadioItem(Std1, StdGroup, "PAL251", "EBU", 0);
  SMPTENonDrop1 = RadioItem(Std1, StdGroup, "SMPTENonDrop1", "SMPTE Non Drop", 1);
  SMPTEDrop1 = RadioItem(Std1, StdGroup, "SMPTEDrop1", "SMPTE Drop", 3);
  PAL251->setChecked(true);

  Machine1 = bar->addMenu("Mcn &No.");
  Machine1->setObjectName("Machine1");
  Machine1->menuAction()->setToolTip(
      "Machine number: the unit number the virtual machine reports with its device type");
  UnitGroup = Group(Machine1, "UnitGroup");
  for (std::size_t i = 0; i < kUnitNumberItems.size(); ++i) {
    const MenuItemText& item = kUnitNumberItems[i];
    unitNumbers[i] = RadioItem(Machine1, UnitGroup, item.name, item.caption, item.tag);
  }

  Tracks1 = bar->addMenu("T&racks");
  Tracks1->setObjectName("Tracks1");
  TracksGroup = Group(Tracks1, "TracksGroup");
  for (std::size_t i = 0; i < kTrackCountItems.size(); ++i) {
    const MenuItemText& item = kTrackCountItems[i];
    trackCounts[i] = RadioItem(Tracks1, TracksGroup, item.name, item.caption, item.tag);
  }
  trackCounts[0]->setChecked(true);

  VmMachine1 = bar->addMenu("M&achine");
  VmMachine1->setObjectName("VmMachine1");
  Personality1 = Item(VmMachine1, "Personality1", "Personality...");
  DefaultPersonality1 = Item(VmMachine1, "DefaultPersonality1", "Default personality");

  Help1 = bar->addAction("&Help");
  Help1->setObjectName("Help1");

  About1 = bar->addAction("About Selkie Test");
  About1->setObjectName("About1");
  QObject::connect(About1, &QAction::triggered, bar, [bar] { AboutBox(bar->window()).exec(); });
}

bool MainMenu::ShowTip(QMenuBar* bar, const QPoint& at, const QPoint& globalAt) {
  const QAction* action = bar->actionAt(at);
  // A title without a tip of its own would only repeat itself.
  if (!action || action->toolTip() == action->iconText()) return false;
  QToolTip::showText(globalAt, action->toolTip(), bar);
  return true;
}

void MainMenu::CheckTag(QActionGroup* group, int tag) {
  for (QAction* action : group->actions()) action->setChecked(action->data().toInt() == tag);
}
