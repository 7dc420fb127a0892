// The main window: first run, the five views and their places, window placement, Timer1's
// interval, menus, help and driver items, and the settings each change writes.
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <fstream>

#include "AboutBox.h"
#include "WindowFixture.h"

TEST_F(WindowTest, FirstRunShowsAnEmptyWindowOpensNothingAndWritesTheFile) {
  ASSERT_FALSE(std::filesystem::exists(SettingsPath()));
  Start();
  EXPECT_EQ(w->ClientHeight(), 4 + w->StatusBar1->height());
  EXPECT_EQ(w->ClientWidth(), 632);
  EXPECT_FALSE(w->Shown().portA.open);
  EXPECT_FALSE(w->Shown().portB.open);
  EXPECT_EQ(prompts, 0);
  w->Host().FlushSettings();
  EXPECT_EQ(std::filesystem::file_size(SettingsPath()), 32u);
  EXPECT_FALSE(w->Menu->VirtualMachine1->isChecked()) << "marks follow the views, not the design";

  w->Menu->VirtualMachine1->trigger();
  Settle();
  EXPECT_EQ(w->Panel2->y(), 4);
  EXPECT_TRUE(w->Panel2->isVisible());
  EXPECT_EQ(w->ClientHeight(), 4 + 259 + 4 + w->StatusBar1->height());
  EXPECT_FALSE(w->Shown().portA.open) << "showing a view opens no port";
  EXPECT_EQ(SavedRecord().ShowVirtualMachine, 1);
}

TEST_F(WindowTest, AllFiveViewsStackAtTheirPlaces) {
  record.ShowSyncTest = record.ShowVirtualMachine = record.ShowMachineControl = 1;
  record.ShowOpenClose = record.ShowGpo = 1;
  record.PortANumber = 251;
  record.PortBNumber = 252;
  writeSettings = true;
  Start();
  EXPECT_TRUE(w->vsyncA->isVisible());
  EXPECT_EQ(w->Panel2->y(), 38);
  EXPECT_EQ(w->Panel1->y(), 301);
  EXPECT_EQ(w->OpenClose->y(), 564);
  EXPECT_EQ(w->gpo->y(), 602);
  EXPECT_EQ(w->ClientHeight(), 663 + w->StatusBar1->height());
  EXPECT_EQ(w->Shown().timer1Ms, 100) << "the sync row sets 100 ms";
  EXPECT_TRUE(w->Shown().portA.open);
  EXPECT_TRUE(w->Shown().portB.open);
  EXPECT_EQ(w->Panel2->coma1->Caption(), "Com:251");
  EXPECT_EQ(w->Panel1->Comb1->Caption(), "Com:252");
  EXPECT_TRUE(w->Panel2->coma1->Lit());
  EXPECT_TRUE(w->Panel1->comb2->Lit());
  EXPECT_TRUE(w->Menu->GPO1->isChecked());
  EXPECT_TRUE(errors.empty());
}

TEST_F(WindowTest, SavedPlaceOffTheDesktopFallsBackTo100By100) {
  const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
  record.WindowLeft = desktop.width() - 100;
  record.WindowTop = 10;
  writeSettings = true;
  Start();
  EXPECT_EQ(w->pos(), QPoint(100, 100));
}

TEST_F(WindowTest, SavedPlaceWithTheTitleBarOnNoScreenFallsBackTo100By100) {
  for (const QPoint saved : {QPoint(-5000, 50), QPoint(40, -60), QPoint(INT32_MIN, INT32_MIN)}) {
    record.WindowLeft = saved.x();
    record.WindowTop = saved.y();
    writeSettings = true;
    Start();
    EXPECT_EQ(w->pos(), QPoint(100, 100)) << saved.x() << "," << saved.y();
    TearDown();
  }
}

TEST_F(WindowTest, SavedPlaceOnTheDesktopIsRestoredAndTheNewPlaceSavedOnlyOnChange) {
  record.WindowLeft = 40;
  record.WindowTop = 30;
  writeSettings = true;
  Start();
  EXPECT_EQ(w->pos(), QPoint(40, 30));
  w->move(60, 50);
  EXPECT_EQ(SavedRecord().WindowLeft, 40) << "moving alone saves nothing";
  w->Menu->GPO1->trigger();
  Settle();
  EXPECT_EQ(SavedRecord().WindowLeft, 60);
  EXPECT_EQ(SavedRecord().WindowTop, 50);
}

TEST_F(WindowTest, Timer1FollowsTheLastOfStandardAndLayout) {
  Start();
  EXPECT_EQ(w->Shown().timer1Ms, 60);
  w->Menu->SMPTEDrop1->trigger();
  Settle();
  EXPECT_EQ(w->Shown().timer1Ms, 45);
  EXPECT_EQ(w->StatusPanels[1]->text(), "Drop");
  EXPECT_TRUE(w->Menu->SMPTEDrop1->isChecked());
  EXPECT_FALSE(w->Menu->PAL251->isChecked());
  EXPECT_EQ(SavedRecord().Standard, 3);
  w->Menu->GPO1->trigger();
  Settle();
  EXPECT_EQ(w->Shown().timer1Ms, 60);
  w->Menu->N24P1->trigger();
  Settle();
  EXPECT_EQ(w->Shown().timer1Ms, 65);
  EXPECT_EQ(w->Shown().timer2Ms, 80);
}

TEST_F(WindowTest, SavedIdentityAndStandardComeBack) {
  record.MachineType = 16;
  record.Standard = 1;
  writeSettings = true;
  Start();
  EXPECT_TRUE(w->Menu->identities[16]->isChecked());
  EXPECT_TRUE(w->Menu->SMPTENonDrop1->isChecked());
  EXPECT_EQ(w->Shown().timer1Ms, 60) << "the layout runs after the standard at show";
  EXPECT_TRUE(w->Panel2->DD35Panel1->isVisibleTo(w->Panel2));
  w->Menu->identities[0]->trigger();
  Settle();
  EXPECT_FALSE(w->Panel2->DD35Panel1->isVisibleTo(w->Panel2));
  EXPECT_EQ(SavedRecord().MachineType, 0);
}

TEST_F(WindowTest, MenusHoldTheirItemsShortcutsAndTags) {
  Start();
  MainMenu& m = *w->Menu;
  EXPECT_EQ(m.Macrokey1->text(), "Controller TC -> Clipboard");
  EXPECT_EQ(m.Macrokey1->shortcut(), QKeySequence(Qt::Key_F11));
  EXPECT_EQ(m.GotoClipboard1->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F11));
  EXPECT_EQ(m.ZQVersion1->shortcut(), QKeySequence(Qt::Key_F10));
  int shortcuts = 0;
  for (QAction* a : w->findChildren<QAction*>())
    if (!a->shortcut().isEmpty()) ++shortcuts;
  EXPECT_EQ(shortcuts, 3) << "F11, Shift+F11 and F10 are the only shortcuts";
  EXPECT_EQ(m.ID1->actions().size(), 18);
  EXPECT_EQ(m.identities[12]->text(), "Mx2424");
  EXPECT_EQ(m.identities[12]->objectName(), "Mx24241");
  const std::vector<std::pair<QAction*, int>> stdTags = {
      {m.N24P1, 2}, {m.PAL251, 0}, {m.SMPTENonDrop1, 1}, {m.SMPTEDrop1, 3}};
  for (const auto& [item, tag] : stdTags) EXPECT_EQ(item->data().toInt(), tag);
  EXPECT_EQ(m.trackCounts[3]->text(), "Twentyfour");
  EXPECT_EQ(m.trackCounts[3]->data().toInt(), 48);
  EXPECT_EQ(m.Help1->menu(), nullptr) << "Help is an item of the bar itself";
}

TEST_F(WindowTest, AboutItemFollowsTheDesignedItemsAndOpensItsBox) {
  Start();
  const QList<QAction*> bar = w->menuBar()->actions();
  ASSERT_GE(bar.size(), 2);
  EXPECT_EQ(bar[bar.size() - 2], w->Menu->Help1);
  EXPECT_EQ(bar.back(), w->Menu->About1);
  EXPECT_EQ(w->Menu->About1->text(), "About Selkie Test");
  QString shown;
  QTimer::singleShot(0, w.get(), [&] {
    if (auto* box = dynamic_cast<AboutBox*>(QApplication::activeModalWidget())) {
      shown = box->text();
      box->accept();
    }
  });
  w->Menu->About1->trigger();
  EXPECT_TRUE(shown.startsWith("Selkie Test ")) << shown.toStdString();
}

TEST_F(WindowTest, UnitAndTrackChoicesCombineAndSave) {
  Start();
  w->Menu->trackCounts[3]->trigger();  // Twentyfour
  Settle();
  w->Menu->unitNumbers[2]->trigger();  // 2
  Settle();
  EXPECT_EQ(SavedRecord().UnitTracksByte, 0x32);
  EXPECT_TRUE(w->Menu->unitNumbers[2]->isChecked());
}

TEST_F(WindowTest, ManualAndDriverReportNotFound) {
  Start();
  manualChoice = QString::fromStdString((dir.path() / "Manual.pdf").string());
  w->Help1Click();
  Settle();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Manual.pdf  Not Found");
  { std::ofstream(dir.path() / "Manual.pdf") << "%PDF"; }
  w->Help1Click();
  Settle();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].second, QString::fromStdString(dir.path().string()));

  manualChoice.clear();
  w->Help1Click();
  Settle();
  EXPECT_EQ(messages.size(), 1u) << "cancelling the dialog does nothing";

  w->Menu->InstallSelkieDriver1->trigger();
  Settle();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1],
            QString::fromStdString((dir.path() / "CDM_Setup.exe").string()) + "  Not Found");
  { std::ofstream(dir.path() / "CDM_Setup.exe") << "MZ"; }
  w->Menu->InstallSelkieDriver1->trigger();
  Settle();
  EXPECT_EQ(opened.size(), 2u);
}

TEST_F(WindowTest, CommsItemShowsAndHidesTheMonitor) {
  Start();
  EXPECT_FALSE(comms->IsShown());
  w->Menu->Comms1->trigger();
  Settle();
  EXPECT_TRUE(comms->IsShown());
  w->Menu->Comms1->trigger();
  Settle();
  EXPECT_FALSE(comms->IsShown());
}

TEST_F(WindowTest, UnreadableSettingsAreReportedOnceAndNeverOverwritten) {
  std::filesystem::create_directories(SettingsPath() / "x");  // a folder where the file should be
  Start();
  ASSERT_EQ(errors.size(), 1u) << "the failed load, and only it";
  EXPECT_NE(errors[0].indexOf("Settings will not be saved this run."), -1)
      << errors[0].toStdString();
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->ClientHeight(), 4 + w->StatusBar1->height()) << "the record keeps its zero start";
  w->Menu->GPO1->trigger();  // a change that would save
  Settle();
  w->Host().FlushSettings();
  EXPECT_EQ(errors.size(), 1u) << "no save is even tried";
  EXPECT_TRUE(std::filesystem::exists(SettingsPath() / "x")) << "what was there stays";
}
