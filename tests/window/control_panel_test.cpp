// The "Machine Control" panel as the window wires it: the Goto key's mouse buttons, and the
// checksum-failure count of port B.
#include <QClipboard>
#include <QTest>

#include "KeypadU.h"
#include "OwnerLoop.h"
#include "PortMap.h"
#include "WindowFixture.h"

namespace {

bool GotoQueued(TSelkieF& w, uint8_t hours) {
  SonyPort port;
  w.Host().Call([&port](HostCore& host) { port = host.Controller().Port(); });
  return port.CommandPending && port.Tx[0] == 0x24 && port.Tx[1] == 0x31 && port.Tx[5] == hours;
}

}  // namespace

TEST_F(WindowTest, GotoKeyLeftOpensTheKeypadOnceOtherButtonsLocateToTheClipboard) {
  Start();
  int keypadRuns = 0;
  w->Desktop.runKeypad = [&](const QString&) {
    ++keypadRuns;
    return KeypadU::kModalOk;
  };
  TVyoButton* kgoto = w->Panel1->kgoto;
  QGuiApplication::clipboard()->setText("07:00:00:00");

  QTest::mouseClick(kgoto, Qt::LeftButton);
  Settle();
  EXPECT_EQ(keypadRuns, 1) << "the press opens the keypad, its release does not open it again";
  EXPECT_TRUE(GotoQueued(*w, 0x00)) << "the keypad's entry, not the clipboard";

  QTest::mouseClick(kgoto, Qt::RightButton);
  Settle();
  EXPECT_TRUE(GotoQueued(*w, 0x07));
  QGuiApplication::clipboard()->setText("08:00:00:00");
  QTest::mouseClick(kgoto, Qt::MiddleButton);
  Settle();
  EXPECT_TRUE(GotoQueued(*w, 0x08));
  EXPECT_EQ(keypadRuns, 1) << "the clipboard locate shows no keypad";

  kgoto->setFocus();
  QTest::keyClick(kgoto, Qt::Key_Return);
  Settle();
  EXPECT_EQ(keypadRuns, 2) << "Enter on the key is a click";
  QTest::mouseClick(kgoto, Qt::LeftButton);
  Settle();
  EXPECT_EQ(keypadRuns, 3);
}

TEST_F(WindowTest, PortBChecksumFailuresShowWithoutASyncPulse) {
  record.ShowMachineControl = 1;
  record.PortBNumber = PortMap::kCableB;
  writeSettings = true;
  Start();
  ASSERT_TRUE(w->Shown().portB.open);
  EXPECT_EQ(w->Panel1->csumb->text(), "00");
  auto loop = std::make_shared<OwnerLoop>();
  TSerialPort far(loop);
  far.SetComNumber(PortMap::kCableA);
  far.SetOpen(true);
  far.WriteString(std::vector<uint8_t>{0x10, 0x01, 0x99});  // an ACK with a wrong checksum
  EXPECT_TRUE(WaitFor([&] { return w->Panel1->csumb->text() == "01"; }))
      << w->Panel1->csumb->text().toStdString();
  far.SetOpen(false);
  loop->Pump();  // nothing of the closed far end is left to run
}

TEST_F(WindowTest, ClickingThePositionBoxCopiesItsTimeCode) {
  Start();
  QGuiApplication::clipboard()->setText("something else");
  QTest::mouseClick(w->Panel1->bpoz, Qt::LeftButton);
  Settle();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "__:__:__:__") << "the text before any reply";
  EXPECT_EQ(w->Panel1->bpoz->selectedText(), "__:__:__:__");
}
