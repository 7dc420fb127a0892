// The window's traffic tools: "Capture to File..." and "Stop Capture" in the Tools menu, decoded
// lines in the comms monitor while its "Decode" box is checked, and "Bridge A-B".

#include "CaptureFile.h"
#include "PortMap.h"
#include "WindowFixture.h"

namespace {

class TrafficWindowTest : public WindowTest {
 protected:
  // The demo: the controller on port B polls the virtual machine on port A over the cable.
  void StartDemo() {
    Start(true);
    ASSERT_TRUE(w->Shown().portA.open && w->Shown().portB.open);
  }
  // Port A and port B on two pty: ports of their own, as for an editor and a machine.
  void StartOnTwoPtys() {
    ASSERT_TRUE(PortMap::Assign(230, "pty:" + (dir.path() / "editor").string()));
    ASSERT_TRUE(PortMap::Assign(231, "pty:" + (dir.path() / "machine").string()));
    record.ShowVirtualMachine = record.ShowMachineControl = 1;
    record.PortANumber = 230;
    record.PortBNumber = 231;
    writeSettings = true;
    Start();
    ASSERT_TRUE(w->Shown().portA.open && w->Shown().portB.open);
  }
  void TearDown() override {
    WindowTest::TearDown();
    PortMap::Unassign(230);
    PortMap::Unassign(231);
  }
};

bool Has(const std::vector<CaptureRecord>& records, char port, Direction direction) {
  for (const CaptureRecord& record : records)
    if (record.port == std::string(1, port) && record.direction == direction &&
        record.kind == FrameKind::Message)
      return true;
  return false;
}

}  // namespace

TEST_F(TrafficWindowTest, CaptureToFileRecordsBothPortsUntilStopCapture) {
  StartDemo();
  EXPECT_FALSE(w->Menu->StopCapture1->isEnabled());
  captureChoice = QString::fromStdString((dir.path() / "demo.txt").string());
  w->Menu->CaptureToFile1->trigger();
  Settle();
  EXPECT_TRUE(w->Shown().capturing);
  EXPECT_TRUE(w->Menu->StopCapture1->isEnabled());
  // One capture at a time, and the status bar says where it goes.
  EXPECT_FALSE(w->Menu->CaptureToFile1->isEnabled());
  EXPECT_EQ(w->CaptureStatus->text(), "Capturing to " + captureChoice);
  EXPECT_FALSE(w->CaptureStatus->isHidden());
  Spin(400);  // a few polls of the controller
  w->Menu->StopCapture1->trigger();
  Settle();
  EXPECT_FALSE(w->Shown().capturing);
  EXPECT_FALSE(w->Menu->StopCapture1->isEnabled());
  EXPECT_TRUE(w->Menu->CaptureToFile1->isEnabled());
  EXPECT_TRUE(w->CaptureStatus->isHidden());

  const std::vector<CaptureRecord> records = CaptureReader::ReadFile(captureChoice.toStdString());
  for (char port : {'A', 'B'})
    for (Direction direction : {Direction::Rx, Direction::Tx})
      EXPECT_TRUE(Has(records, port, direction)) << port << static_cast<int>(direction);
  // Nothing more is written once the capture has stopped.
  const auto size = std::filesystem::file_size(captureChoice.toStdString());
  Spin(200);
  EXPECT_EQ(std::filesystem::file_size(captureChoice.toStdString()), size);
  EXPECT_TRUE(errors.empty());
}

TEST_F(TrafficWindowTest, CaptureOptionCapturesFromTheStart) {
  capturePath = (dir.path() / "option.txt").string();
  StartDemo();
  EXPECT_TRUE(w->Shown().capturing);
  EXPECT_TRUE(w->Menu->StopCapture1->isEnabled());
  ASSERT_TRUE(
      WaitFor([&] { return Has(CaptureReader::ReadFile(*capturePath), 'A', Direction::Tx); }));
  EXPECT_TRUE(Has(CaptureReader::ReadFile(*capturePath), 'B', Direction::Tx));
}

TEST_F(TrafficWindowTest, CaptureThatCannotBeOpenedIsAMessageAndCancelDoesNothing) {
  StartDemo();
  w->Menu->CaptureToFile1->trigger();  // Cancel
  Settle();
  EXPECT_FALSE(w->Shown().capturing);
  captureChoice = QString::fromStdString((dir.path() / "missing" / "x.txt").string());
  w->Menu->CaptureToFile1->trigger();
  Settle();
  ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
  EXPECT_TRUE(errors.front().contains("x.txt")) << errors.front().toStdString();
  EXPECT_FALSE(w->Shown().capturing);
}

TEST_F(TrafficWindowTest, DecodedLinesReachTheMonitorOnlyWhileDecodeIsChecked) {
  StartDemo();
  Spin(200);
  const auto rows = [&](char port, bool replied) {
    const MonitorModel& model = comms->Model();
    int count = 0;
    for (int i = 0; i < model.rowCount(); ++i) {
      const MonitorRow& row = model.Row(i);
      if (row.source == MonitorRow::Source::Record && row.port == port && (!replied || row.replyUs))
        ++count;
    }
    return count;
  };
  EXPECT_EQ(rows('A', false) + rows('B', false), 0);
  comms->kdecode->setChecked(true);
  ASSERT_TRUE(WaitFor([&] { return rows('A', false) > 0 && rows('B', false) > 0; }));
  EXPECT_TRUE(WaitFor([&] { return rows('A', true) > 0 && rows('B', true) > 0; }))
      << "both the virtual machine's replies and the machine's on port B are timed";
  EXPECT_TRUE(comms->Text().contains("reply "));
}

TEST_F(TrafficWindowTest, BridgeItemIsCheckedWhileBridgingAndNeedsBothPorts) {
  StartOnTwoPtys();
  w->Menu->BridgeAB1->trigger();
  Settle();
  EXPECT_TRUE(w->Shown().bridging);
  EXPECT_TRUE(w->Menu->BridgeAB1->isChecked());
  EXPECT_TRUE(comms->DecodeChecked());
  w->Menu->BridgeAB1->trigger();
  Settle();
  EXPECT_FALSE(w->Shown().bridging);
  EXPECT_FALSE(w->Menu->BridgeAB1->isChecked());

  w->close1Click();
  Settle();
  w->Menu->BridgeAB1->trigger();
  Settle();
  ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
  EXPECT_TRUE(errors.front().contains("Bridge A-B")) << errors.front().toStdString();
  EXPECT_FALSE(w->Menu->BridgeAB1->isChecked());
}

// The demo's ports are the two ends of one virtual cable: a bridge there would pass every
// message back to its sender, and did so without a word.
TEST_F(TrafficWindowTest, BridgeOnTheTwoEndsOfOneCableIsRefused) {
  StartDemo();
  w->Menu->BridgeAB1->trigger();
  Settle();
  ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
  EXPECT_TRUE(errors.front().contains("two ends of one virtual cable"))
      << errors.front().toStdString();
  EXPECT_FALSE(w->Shown().bridging);
  EXPECT_FALSE(w->Menu->BridgeAB1->isChecked());
}
