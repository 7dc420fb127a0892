// The main window on screens of any size and for keyboard users: the size and place cut to the
// screen's available area, the first-start hint, a palette that stays readable when dark, menu
// letters, transport keys and tips; Help's folder and the adapter set-up.
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <fstream>

#include "HelpFiles.h"
#include "PanelTips.h"
#include "PortMap.h"
#include "ReadableText.h"
#include "WindowFit.h"
#include "WindowFixture.h"

namespace {}  // namespace

TEST(WindowFit, SizeIsCutToTheAreaAndTheFrameKeptInside) {
  const QSize frame(8, 32);
  const int bar = 14;
  struct Case {
    QSize wanted;
    QRect area;
    QSize size;
  } cases[] = {
      {{632, 705}, {0, 0, 1600, 1000}, {632, 705}},  // scale 1: all of it
      {{632, 705}, {0, 0, 1067, 667}, {646, 635}},   // scale 1.5: cut, room for the scroll bar
      {{632, 705}, {0, 0, 800, 500}, {646, 468}},    // scale 2
      {{632, 705}, {0, 0, 600, 400}, {592, 368}},    // narrower than the views too
      {{632, 100}, {0, 0, 1600, 1000}, {632, 100}},  // small content is never stretched
  };
  for (const Case& c : cases)
    EXPECT_EQ(FitWindow(c.wanted, frame, c.area, bar), c.size) << c.area.width();

  const QRect area(0, 0, 800, 500);
  EXPECT_EQ(KeepInside({326, 2, 640, 500}, area), QPoint(160, 0));
  EXPECT_EQ(KeepInside({100, 300, 640, 300}, area), QPoint(100, 200)) << "moved up, not left";
  EXPECT_EQ(KeepInside({-50, -20, 100, 100}, area), QPoint(0, 0));
  EXPECT_EQ(KeepInside({20, 30, 900, 600}, area), QPoint(0, 0)) << "too large: top left wins";
  EXPECT_EQ(KeepInside({20, 30, 100, 100}, QRect(1600, 0, 800, 500)), QPoint(1600, 30))
      << "a second screen's area";
}

TEST_F(WindowTest, AllViewsOnASmallScreenScrollAndTheWindowStaysOnIt) {
  record.ShowSyncTest = record.ShowVirtualMachine = record.ShowMachineControl = 1;
  record.ShowOpenClose = 1;
  writeSettings = true;
  Start();
  // A 1600x1000 screen at scale 2, less a panel at its top.
  const QRect area(0, 24, 800, 476);
  w->Desktop.availableArea = [area] { return area; };
  w->Menu->OpenClose1->trigger();  // off: a layout on the small screen
  Settle();
  EXPECT_TRUE(area.contains(w->frameGeometry())) << "the whole window is on the screen";
  w->Menu->OpenClose1->trigger();
  Settle();
  EXPECT_GT(w->Scroll->verticalScrollBar()->maximum(), 0) << "the views scroll";
  EXPECT_EQ(w->ClientHeight(), 602 + w->StatusBar1->height()) << "the layout is as designed";

  w->Menu->GPO1->trigger();  // a view switched on grows the content, not the window
  Settle();
  EXPECT_TRUE(area.contains(w->frameGeometry()));
  w->Scroll->ensureWidgetVisible(w->gpo);
  EXPECT_TRUE(w->gpo->visibleRegion().boundingRect().height() > 0) << "the last view can be seen";
}

TEST_F(WindowTest, FirstStartShowsAHintUntilAViewIsShown) {
  Start();
  ASSERT_TRUE(w->Hint->isVisible());
  EXPECT_TRUE(w->Hint->text().contains("View > Virtual Machine"));
  EXPECT_TRUE(w->Hint->text().contains("--demo"));
  EXPECT_GE(w->height(), w->menuBar()->height() + w->Hint->height() + w->StatusBar1->height());
  EXPECT_GT(w->Hint->height(), 60) << "the whole text has room";
  w->Menu->MachineControl1->trigger();
  Settle();
  EXPECT_FALSE(w->Hint->isVisible());
  w->Menu->MachineControl1->trigger();
  Settle();
  EXPECT_TRUE(w->Hint->isVisible()) << "an empty window says again what to do";
}

TEST(ReadableText, ContrastRatiosAndTheBetterOfTwoColours) {
  EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 0.01);
  EXPECT_NEAR(ContrastRatio(Qt::white, Qt::black), 21.0, 0.01);
  EXPECT_NEAR(ContrastRatio(QColor(0x30, 0x8C, 0xC6), QColor(0x30, 0x8C, 0xC6)), 1.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(Qt::white, QColor(0x30, 0x8C, 0xC6)), 3.70, 0.05);
  EXPECT_EQ(ReadableOn(QColor(0x30, 0x8C, 0xC6), Qt::white, Qt::black), QColor(Qt::black));
  EXPECT_EQ(ReadableOn(QColor(0x1D, 0x4E, 0x89), Qt::black, Qt::white), QColor(Qt::white));
}

TEST_F(WindowTest, TextStaysReadableOnALightAndADarkPalette) {
  const QPalette original = QApplication::palette();
  QPalette dark = original;
  dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
  dark.setColor(QPalette::WindowText, QColor(0xE0, 0xE0, 0xE0));
  dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
  dark.setColor(QPalette::Text, QColor(0xE0, 0xE0, 0xE0));
  dark.setColor(QPalette::Highlight, QColor(0x1D, 0x4E, 0x89));
  dark.setColor(QPalette::HighlightedText, QColor(0xFF, 0xFF, 0xFF));
  for (const QPalette& palette : {original, dark}) {
    QApplication::setPalette(palette);
    record.ShowVirtualMachine = 1;
    writeSettings = true;
    Start();
    for (QLabel* text : {w->Panel2->vtally, w->Panel2->linka, w->Hint, w->StatusPanels[1]}) {
      const QPalette& p = text->palette();
      EXPECT_GE(ContrastRatio(p.color(QPalette::WindowText), p.color(QPalette::Window)), 4.5)
          << text->objectName().toStdString() << " "
          << p.color(QPalette::WindowText).name().toStdString() << " on "
          << p.color(QPalette::Window).name().toStdString();
    }
    EXPECT_EQ(w->Panel2->palette().color(QPalette::Window), palette.color(QPalette::Highlight))
        << "the background is the system's highlight colour";
    TearDown();
  }
  QApplication::setPalette(original);
}

TEST_F(WindowTest, MenusHaveLettersAndAbbreviatedControlsHaveTips) {
  Start();
  QStringList letters;
  for (QAction* title : w->menuBar()->actions()) {
    if (title == w->Menu->About1) continue;  // its caption is exact
    const QString text = title->text();
    const int amp = text.indexOf('&');
    ASSERT_GE(amp, 0) << text.toStdString();
    letters << text.mid(amp + 1, 1).toUpper();
  }
  EXPECT_EQ(letters.removeDuplicates(), 0) << letters.join(",").toStdString();

  std::vector<QWidget*> abbreviated = {w->Panel2->eeon,
                                       w->Panel2->vlocal,
                                       w->Panel2->csuma,
                                       w->Panel1->csumb,
                                       w->Panel1->kediton,
                                       w->lostlock,
                                       w->DSRA,
                                       w->dsrb,
                                       w->dcda,
                                       w->dcdb,
                                       w->ria,
                                       w->rib,
                                       w->rtsa,
                                       w->DTRB,
                                       w->Panel1->linkb,
                                       w->LinkPanels[0]};
  for (std::size_t i = 0; i < 7; ++i) {
    abbreviated.push_back(w->Panel1->ka[i]);
    abbreviated.push_back(w->Panel2->ra[i]);
    EXPECT_EQ(w->Panel1->ka[i]->toolTip(), w->Panel2->ra[i]->toolTip()) << "one table";
  }
  for (QWidget* control : abbreviated)
    EXPECT_FALSE(control->toolTip().isEmpty()) << control->objectName().toStdString();
  EXPECT_EQ(FunctionKeyTip(2), "Time code track");
  EXPECT_TRUE(FunctionKeyTip(7).isEmpty());
  for (QAction* title : {w->Menu->Machine1->menuAction(), w->Menu->ID1->menuAction()})
    EXPECT_NE(title->toolTip(), title->iconText());
  EXPECT_EQ(w->Panel1->kplay->toolTip(), "Play (F8)");
}

TEST_F(WindowTest, TransportKeysDriveTheControllerOnlyWhileItsViewIsShown) {
  Start(/*demo=*/true);
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  QTest::keyClick(w.get(), Qt::Key_F8);
  Settle();
  EXPECT_TRUE(WaitFor([&] { return w->Panel2->vplay->Lit(); })) << "F8 played the machine";
  QTest::keyClick(w.get(), Qt::Key_F7);
  Settle();
  EXPECT_TRUE(WaitFor([&] { return w->Panel2->vstop->Lit(); })) << "F7 stopped it";

  w->Menu->MachineControl1->trigger();  // the view hidden: its keys rest
  Settle();
  QTest::keyClick(w.get(), Qt::Key_F9);
  Settle();
  SonyPort port;
  w->Host().Call([&port](HostCore& host) { port = host.Controller().Port(); });
  EXPECT_FALSE(port.CommandPending && port.Tx[1] == 0x10) << "no FAST FWD queued";
}

TEST_F(WindowTest, HelpOpensTheManualFolderAndTheDriverItemRunsTheAdapterHelper) {
  const std::filesystem::path docs = dir.path() / "docs";
  const std::filesystem::path helper = dir.path() / "libexec" / kAdapterHelperFile;
  std::filesystem::create_directories(helper.parent_path());
  std::filesystem::create_directories(docs);
  { std::ofstream(helper) << "#!/bin/sh\n"; }
  adjustConfig = [&](SelkieConfig& config) {
    config.manualFolder = docs;
    config.adapterHelper = helper;
  };
  Start();
  w->Help1Click();
  EXPECT_EQ(manualFolderAsked, QString::fromStdString(docs.string()));

  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QByteArray::fromStdString((dir.path() / "nobin").string()));
  w->Menu->InstallSelkieDriver1->trigger();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "pkexec  Not Found");

  const std::filesystem::path bin = dir.path() / "bin";
  std::filesystem::create_directories(bin);
  { std::ofstream(bin / "pkexec") << "#!/bin/sh\n"; }
  std::filesystem::permissions(bin / "pkexec", std::filesystem::perms::owner_all);
  qputenv("PATH", QByteArray::fromStdString(bin.string()));
  w->Menu->InstallSelkieDriver1->trigger();
  ASSERT_EQ(confirmations.size(), 1u);
  EXPECT_TRUE(confirmations[0].contains("dialout"));
  EXPECT_TRUE(confirmations[0].contains("99-selkie-latency.rules"));
  EXPECT_TRUE(programRuns.empty()) << "declined: nothing runs";

  confirmAnswer = true;
  runStatus = 126;
  w->Menu->InstallSelkieDriver1->trigger();
  qputenv("PATH", path);
  ASSERT_EQ(programRuns.size(), 1u);
  EXPECT_EQ(programRuns[0][0], QString::fromStdString((bin / "pkexec").string()));
  EXPECT_EQ(programRuns[0][1], QString::fromStdString(helper.string()));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(messages[1].contains("Nothing was changed")) << messages[1].toStdString();
}

TEST(HelpFiles, InstalledTreeUsesDocAndLibexecABuildTreeTheProgramFolder) {
  TempDir tree;
  const std::filesystem::path bin = tree.path() / "bin";
  std::filesystem::create_directories(bin);
  EXPECT_EQ(ManualFolder(bin), bin);
  EXPECT_TRUE(AdapterHelper(bin).empty());
  std::filesystem::create_directories(tree.path() / "share/doc/selkietest");
  std::filesystem::create_directories(tree.path() / "libexec/selkietest");
  { std::ofstream(tree.path() / "libexec/selkietest" / kAdapterHelperFile) << "#!/bin/sh\n"; }
  EXPECT_EQ(ManualFolder(bin), bin.parent_path() / "share" / "doc" / "selkietest");
  EXPECT_EQ(AdapterHelper(bin), tree.path() / "libexec/selkietest" / kAdapterHelperFile);
  { std::ofstream(bin / kAdapterHelperFile) << "#!/bin/sh\n"; }
  EXPECT_EQ(AdapterHelper(bin), bin / kAdapterHelperFile) << "beside the program first";
}
