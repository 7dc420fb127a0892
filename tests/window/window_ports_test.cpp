// The window's port management and line tests over the virtual null-modem cable (COM251 and
// COM252): the one-time prompt, the second failure's error box, re-choosing and toggling a port,
// the DTR/RTS outputs seen on the other end's lamps, and sync by CTS pulses.
#include <QTimer>

#include "OwnerLoop.h"
#include "PortMap.h"
#include "PtyEditor.h"
#include "SonyBytes.h"
#include "WindowFixture.h"

namespace {
constexpr int kMissing = 240;  // maps to no device
}  // namespace

TEST_F(WindowTest, MissingComNumberPromptsOnceAndKeepsTheChoice) {
  record.ShowVirtualMachine = 1;
  record.PortANumber = kMissing;
  writeSettings = true;
  promptAnswers = {PortMap::kCableA};
  Start();
  EXPECT_EQ(prompts, 1);
  EXPECT_TRUE(w->Shown().portA.open);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(w->Shown().record.PortANumber, PortMap::kCableA);
  EXPECT_EQ(SavedRecord().PortANumber, PortMap::kCableA);
  EXPECT_EQ(w->Panel2->coma1->Caption(), "Com:251");
}

TEST_F(WindowTest, SecondFailureShowsTheErrorAndStopsTheOpenClick) {
  record.ShowVirtualMachine = record.ShowMachineControl = 1;
  record.PortANumber = kMissing;
  record.PortBNumber = PortMap::kCableB;
  writeSettings = true;
  Start();  // the prompt is cancelled
  EXPECT_EQ(prompts, 1);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "The ComNumber property of the TSerialPort has not been set");
  EXPECT_FALSE(w->Shown().portA.open);
  EXPECT_FALSE(w->Shown().portB.open) << "port B is not opened by the failed click";
  EXPECT_EQ(w->Panel2->y(), 4) << "the rest of the start-up still lays out the views";
  EXPECT_EQ(SavedRecord().PortANumber, kMissing) << "a failed open stores no number";

  w->open1->OnClick(w->open1);  // the user tries again and cancels again
  Settle();
  EXPECT_EQ(prompts, 2);
  EXPECT_EQ(errors.size(), 2u);
}

TEST_F(WindowTest, StoredNumberZeroAsksTwiceBeforeTheError) {
  record.ShowVirtualMachine = 1;
  writeSettings = true;
  Start();
  EXPECT_EQ(prompts, 2);
  EXPECT_EQ(errors.size(), 1u);
}

TEST_F(WindowTest, Coma2ClosesAndReopensWithTheStoredNumber) {
  record.ShowVirtualMachine = 1;
  record.PortANumber = PortMap::kCableA;
  writeSettings = true;
  Start();
  ASSERT_TRUE(w->Shown().portA.open);
  w->coma2Click();
  Settle();
  EXPECT_FALSE(w->Shown().portA.open);
  EXPECT_FALSE(w->Panel2->coma1->Lit());
  EXPECT_FALSE(w->Panel2->coma2->Lit());
  w->coma2Click();
  Settle();
  EXPECT_TRUE(w->Shown().portA.open);
  EXPECT_EQ(w->Shown().portA.comNumber, PortMap::kCableA);
  EXPECT_TRUE(w->Panel2->coma1->Lit());
  EXPECT_EQ(prompts, 0);
}

TEST_F(WindowTest, ChoosingAPortAlwaysAsksAndSaves) {
  record.ShowVirtualMachine = 1;
  record.PortANumber = PortMap::kCableA;
  writeSettings = true;
  Start();
  promptAnswers = {PortMap::kCableB};
  w->ComA1Click();
  Settle();
  EXPECT_EQ(prompts, 1);
  EXPECT_EQ(w->Shown().portA.comNumber, PortMap::kCableB);
  EXPECT_EQ(w->Panel2->coma1->Caption(), "Com:252");
  EXPECT_EQ(SavedRecord().PortANumber, PortMap::kCableB);
  for (int i = 0; i < 40; ++i) {  // re-choosing never runs out of modem watches
    promptAnswers = {i % 2 ? PortMap::kCableB : PortMap::kCableA};
    w->ComA1Click();
    Settle();
  }
  EXPECT_TRUE(errors.empty()) << errors.front().toStdString();
}

TEST_F(WindowTest, CloseAndResetButtons) {
  record.ShowVirtualMachine = record.ShowMachineControl = record.ShowOpenClose = 1;
  record.PortANumber = PortMap::kCableA;
  record.PortBNumber = PortMap::kCableB;
  writeSettings = true;
  Start();
  EXPECT_TRUE(w->open1->Lit());
  w->close1Click();
  Settle();
  EXPECT_FALSE(w->Shown().portA.open);
  EXPECT_FALSE(w->Shown().portB.open);
  EXPECT_TRUE(w->close1->Lit());
  EXPECT_FALSE(w->open1->Lit());
  w->Reset1Click();
  Settle();
  EXPECT_TRUE(w->Shown().portA.open);
  EXPECT_TRUE(w->Shown().portB.open);
  EXPECT_TRUE(w->open1->Lit());
}

TEST_F(WindowTest, DtrAndRtsTogglesLightTheOtherEndsLamps) {
  record.ShowVirtualMachine = record.ShowMachineControl = record.ShowGpo = 1;
  record.PortANumber = PortMap::kCableA;
  record.PortBNumber = PortMap::kCableB;
  writeSettings = true;
  Start();
  // The lamps are read by the frame tick, which Timer1 runs while port A is open.
  EXPECT_TRUE(WaitFor([&] { return w->dsrb->Lit() && w->dcdb->Lit(); }))
      << "port A's DTR is on after opening";
  EXPECT_FALSE(w->dtra->Lit());

  w->dtraClick();
  Settle();
  EXPECT_TRUE(w->dtra->Lit()) << "lit while the output is off";
  EXPECT_TRUE(WaitFor([&] { return !w->dsrb->Lit() && !w->dcdb->Lit(); }));
  EXPECT_TRUE(w->DSRA->Lit()) << "port B's DTR still drives port A";

  w->dtraClick();
  Settle();
  EXPECT_FALSE(w->dtra->Lit());
  EXPECT_TRUE(WaitFor([&] { return w->dsrb->Lit(); }));

  w->DTRBClick();
  Settle();
  EXPECT_TRUE(WaitFor([&] { return !w->DSRA->Lit() && !w->dcda->Lit(); }));

  // RTS of port A is port B's CTS: its falling edge is a frame pulse on port B.
  w->rtsaClick();
  Settle();
  EXPECT_TRUE(w->rtsa->Lit());
  EXPECT_TRUE(WaitFor([&] { return w->VsyncB->Caption() == "Good Sync B"; }));
}

TEST_F(WindowTest, CtsPulsesOnPortBKeepGoodSyncAndLostLockStill) {
  record.ShowMachineControl = record.ShowSyncTest = 1;
  record.PortBNumber = PortMap::kCableB;
  writeSettings = true;
  Start();
  ASSERT_TRUE(w->Shown().portB.open);
  // The far end of the cable, driven by the test: RTS toggled every 20 ms is a 25 Hz pulse.
  auto loop = std::make_shared<OwnerLoop>();
  TSerialPort far(loop);
  far.SetComNumber(PortMap::kCableA);
  far.SetOpen(true);
  QTimer pulse;
  pulse.setTimerType(Qt::PreciseTimer);
  QObject::connect(&pulse, &QTimer::timeout, [&] { far.SetRTS(!far.RTS()); });
  pulse.start(20);
  ASSERT_TRUE(WaitFor([&] { return w->VsyncB->Lit(); }));
  // Each pulse restarts Timer2 (80 ms), so the lamp stays lit and lostlock stands still. A
  // loaded machine may stall the pulse now and then; without pulses it would count about 12.
  const int before = w->Shown().lostLock;
  int litSamples = 0;
  int samples = 0;
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 1000) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    ++samples;
    if (w->VsyncB->Lit()) ++litSamples;
  }
  EXPECT_GT(litSamples * 10, samples * 9) << litSamples << " of " << samples;
  EXPECT_LE(w->Shown().lostLock - before, 3) << "the timer does not fire while pulses come";

  pulse.stop();
  EXPECT_TRUE(WaitFor([&] { return w->VsyncB->Caption() == "No Sync B"; }));
  const int lost = w->Shown().lostLock;
  EXPECT_TRUE(WaitFor([&] { return w->Shown().lostLock - lost >= 6; }))
      << "each Timer2 period without a pulse counts one";
  w->lostlockClick();
  Settle();
  EXPECT_EQ(w->lostlock->Caption().toInt(), w->Shown().lostLock);
  far.SetOpen(false);
  loop->Pump();  // nothing of the closed far end is left to run
}

TEST_F(WindowTest, ADamagedPortNumberOpensLikeNoNumber) {
  for (const int32_t damaged : {-5, 70000, INT32_MIN}) {
    record.ShowVirtualMachine = 1;
    record.PortANumber = damaged;
    writeSettings = true;
    prompts = 0;
    errors.clear();
    promptAnswers = {PortMap::kCableA};
    Start();
    EXPECT_EQ(prompts, 1) << damaged << ": the prompt appears, as for a number that fails";
    EXPECT_TRUE(errors.empty()) << errors.front().toStdString();
    EXPECT_TRUE(w->Shown().portA.open);
    EXPECT_EQ(w->Panel2->coma1->Caption(), "Com:251");
    TearDown();
  }
}

TEST_F(WindowTest, PortAKeepsAnsweringWhileThePromptForPortBIsOpen) {
  const std::string link = (dir.path() / "vm").string();
  ASSERT_TRUE(PortMap::Assign(kMissing + 1, "pty:" + link));
  record.ShowVirtualMachine = 1;
  record.ShowMachineControl = 1;
  record.PortANumber = kMissing + 1;
  record.PortBNumber = kMissing;
  writeSettings = true;
  promptAnswers = {PortMap::kCableB};
  std::vector<uint8_t> reply;
  whilePrompted = [&] {
    PtyEditor editor(link);
    editor.Send(Framed({0x61, 0x0C, 0x01}));
    reply = editor.ReadReply();
  };
  Start();
  PortMap::Unassign(kMissing + 1);
  EXPECT_EQ(prompts, 1);
  ASSERT_EQ(reply.size(), 7u) << "no time data while the prompt was open";
  EXPECT_EQ(reply[0], 0x74);
  EXPECT_TRUE(w->Shown().portB.open);
  EXPECT_EQ(w->Shown().record.PortBNumber, PortMap::kCableB);
}
