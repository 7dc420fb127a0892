// Demo mode end to end in the real window: the controller on port B drives the virtual machine on
// port A through the virtual cable, and both panels show it.
#include <QClipboard>
#include <QPlainTextEdit>

#include "PortMap.h"
#include "WindowFixture.h"

TEST_F(WindowTest, DemoShowsTheMachineAndItsRunningTimeCode) {
  Start(/*demo=*/true);
  ASSERT_TRUE(w->Shown().portA.open);
  ASSERT_TRUE(w->Shown().portB.open);
  EXPECT_EQ(SavedRecord().PortANumber, PortMap::kCableA);
  EXPECT_EQ(SavedRecord().PortBNumber, PortMap::kCableB);
  EXPECT_TRUE(WaitFor([&] { return w->Panel1->name->text() == "DA-88 PAL"; }));

  w->Panel1->kplay->OnClick(w->Panel1->kplay);
  Settle();
  EXPECT_TRUE(WaitFor([&] { return w->Panel2->vplay->Lit(); })) << "PLAY reached the machine";
  EXPECT_TRUE(WaitFor([&] { return w->Panel1->kplay->Lit(); })) << "and its status came back";
  const QString first = w->Panel1->bpoz->text();
  EXPECT_TRUE(WaitFor([&] { return w->Panel1->bpoz->text() != first; })) << "bpoz advances";
  EXPECT_TRUE(errors.empty());
}

TEST_F(WindowTest, DemoClipboardVersionAndMonitor) {
  Start(/*demo=*/true);
  ASSERT_TRUE(WaitFor([&] { return w->Panel1->name->text() == "DA-88 PAL"; }));

  w->Menu->Macrokey1->trigger();
  Settle();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), w->Panel1->bpoz->text());

  QGuiApplication::clipboard()->setText("01:10:00:00");
  w->Menu->GotoClipboard1->trigger();
  Settle();
  EXPECT_TRUE(WaitFor([&] { return w->Panel2->vpoz->text() == "01:10:00:00"; }));
  EXPECT_TRUE(WaitFor([&] { return w->Panel1->bpoz->text() == "01:10:00:00"; }));

  w->Menu->ZQVersion1->trigger();
  Settle();
  EXPECT_TRUE(WaitFor([&] { return w->StatusPanels[0]->text().startsWith("DA-88 PAL V: "); }))
      << w->StatusPanels[0]->text().toStdString();

  comms->kclearClick();
  comms->SetShowComs(true);
  EXPECT_TRUE(WaitFor([&] { return comms->Text().contains("Rx:61 0C 01 6E "); }));
  EXPECT_TRUE(comms->Text().contains("  Tx 74 04 "));
}

TEST_F(WindowTest, DemoKeepsItsOwnPortsWhateverItsFileSays) {
  record.PortANumber = 3;
  record.PortBNumber = 4;
  record.ShowGpo = 0;
  writeSettings = true;
  Start(/*demo=*/true);
  EXPECT_EQ(w->Shown().portA.comNumber, PortMap::kCableA);
  EXPECT_EQ(w->Shown().portB.comNumber, PortMap::kCableB);
  EXPECT_FALSE(w->gpo->isVisible()) << "the demo file's own view choices are kept";
}
