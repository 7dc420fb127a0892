// Modem lines and the one-shot modem trigger over the virtual null-modem cable.
#include "SerialTestSupport.h"

using namespace serial_test;

namespace {

class CableLines : public ::testing::Test {
 protected:
  void SetUp() override {
    a.SetComNumber(251);
    b.SetComNumber(252);
    a.SetAutoOpen(false);
    b.SetAutoOpen(false);
    b.OnTriggerModemStatus = [this](TSerialPort&, uint16_t handle) { fired.push_back(handle); };
    a.SetOpen(true);
    b.SetOpen(true);
  }

  // Waits until b's status byte shows `lines` (the state bits only).
  bool LinesBecome(uint8_t lines) {
    return loop->PumpUntil([&] { return (b.ModemStatus() & 0xF0) == lines; }, kWait);
  }

  std::shared_ptr<OwnerLoop> loop = std::make_shared<OwnerLoop>();
  TSerialPort a{loop};
  TSerialPort b{loop};
  std::vector<uint16_t> fired;
};

}  // namespace

TEST_F(CableLines, OutputsOfOneEndDriveTheInputsOfTheOther) {
  ASSERT_TRUE(LinesBecome(kModemCTS | kModemDSR | kModemDCD));  // DTR and RTS on at open
  a.SetDTR(false);
  ASSERT_TRUE(LinesBecome(kModemCTS));
  EXPECT_FALSE(b.DSR());
  EXPECT_FALSE(b.DCD());
  a.SetRTS(false);
  ASSERT_TRUE(LinesBecome(0));
  EXPECT_FALSE(b.CTS());
  a.SetDTR(true);
  ASSERT_TRUE(LinesBecome(kModemDSR | kModemDCD));
  EXPECT_TRUE(b.DSR());
  EXPECT_TRUE(b.DCD());
  EXPECT_FALSE(b.RI());
  a.SetOpen(false);  // a closed end drives nothing
  ASSERT_TRUE(LinesBecome(0));
}

TEST_F(CableLines, BytesFlowBothWays) {
  std::vector<uint8_t> atA, atB;
  a.OnTriggerAvail = [&](TSerialPort& p, uint16_t n) {
    while (n--) atA.push_back(p.ReadByte());
  };
  b.OnTriggerAvail = [&](TSerialPort& p, uint16_t n) {
    while (n--) atB.push_back(p.ReadByte());
  };
  a.WriteString(std::string("ping"));
  b.WriteString(std::string("pong!"));
  ASSERT_TRUE(loop->PumpUntil([&] { return atA.size() == 5 && atB.size() == 4; }, kWait));
  EXPECT_EQ(std::string(atA.begin(), atA.end()), "pong!");
  EXPECT_EQ(std::string(atB.begin(), atB.end()), "ping");
}

TEST_F(CableLines, EachReadClearsExactlyItsOwnChangeBit) {
  ASSERT_TRUE(LinesBecome(kModemCTS | kModemDSR | kModemDCD));
  b.CTS();
  b.DSR();
  b.DCD();
  ASSERT_EQ(b.ModemStatus() & 0x0F, 0);
  a.SetRTS(false);
  a.SetDTR(false);
  ASSERT_TRUE(LinesBecome(0));
  EXPECT_EQ(b.ModemStatus() & 0x0F, kModemDeltaCTS | kModemDeltaDSR | kModemDeltaDCD);
  EXPECT_FALSE(b.DSR());
  EXPECT_EQ(b.ModemStatus() & 0x0F, kModemDeltaCTS | kModemDeltaDCD);
  EXPECT_TRUE(b.DeltaCTS());
  EXPECT_FALSE(b.DeltaCTS());  // cleared by the read before
  EXPECT_EQ(b.ModemStatus() & 0x0F, kModemDeltaDCD);
  EXPECT_FALSE(b.DCD());
  EXPECT_EQ(b.ModemStatus() & 0x0F, 0);
}

TEST_F(CableLines, TriggerFiresOncePerChangeAfterArmingOnly) {
  ASSERT_TRUE(LinesBecome(kModemCTS | kModemDSR | kModemDCD));
  const uint16_t handle = b.AddModemWatch(kModemTriggerType);
  b.ArmModemWatch(handle, 0x10, true);
  a.SetDTR(false);  // DSR/DCD are not in the mask
  ASSERT_TRUE(LinesBecome(kModemCTS));
  EXPECT_FALSE(loop->PumpUntil([&] { return !fired.empty(); }, 100ms));
  a.SetRTS(false);  // CTS goes off: fires
  ASSERT_TRUE(loop->PumpUntil([&] { return fired.size() == 1; }, kWait));
  EXPECT_EQ(fired[0], handle);
  a.SetRTS(true);  // a second change before re-arming is not reported
  ASSERT_TRUE(LinesBecome(kModemCTS));
  EXPECT_FALSE(loop->PumpUntil([&] { return fired.size() > 1; }, 150ms));
  b.ArmModemWatch(handle, 0x10, true);
  a.SetRTS(false);
  ASSERT_TRUE(loop->PumpUntil([&] { return fired.size() == 2; }, kWait));
  b.ArmModemWatch(handle, 0x10, false);  // disarmed: silent
  a.SetRTS(true);
  ASSERT_TRUE(LinesBecome(kModemCTS));
  EXPECT_FALSE(loop->PumpUntil([&] { return fired.size() > 2; }, 150ms));
}

TEST_F(CableLines, TriggersSurviveAReopenOnAnotherNumber) {
  const uint16_t handle = b.AddModemWatch(kModemTriggerType);
  b.SetOpen(false);
  b.SetComNumber(251);  // closed: only stored
  a.SetOpen(false);
  b.SetOpen(true);
  b.SetComNumber(252);  // open: reopened on 252
  ASSERT_TRUE(b.Open());
  a.SetComNumber(251);
  a.SetOpen(true);
  ASSERT_TRUE(LinesBecome(kModemCTS | kModemDSR | kModemDCD));
  b.ArmModemWatch(handle, 0x10, true);
  a.SetRTS(false);
  ASSERT_TRUE(loop->PumpUntil([&] { return fired == std::vector<uint16_t>{handle}; }, kWait));
}

TEST_F(CableLines, LineReadsAndArmingSeeTheLinesAsTheyAreNow) {
  ASSERT_TRUE(LinesBecome(kModemCTS | kModemDSR | kModemDCD));
  // No pumping and no waiting: a read asks the device, not an earlier sample.
  a.SetDTR(false);
  EXPECT_FALSE(b.DSR());
  EXPECT_FALSE(b.DCD());
  a.SetDTR(true);
  EXPECT_TRUE(b.DSR());
  // A change before arming is not reported, however soon the arming follows it.
  const uint16_t handle = b.AddModemWatch(kModemTriggerType);
  a.SetRTS(false);
  b.ArmModemWatch(handle, 0x10, true);
  EXPECT_FALSE(loop->PumpUntil([&] { return !fired.empty(); }, 150ms));
  a.SetRTS(true);
  ASSERT_TRUE(loop->PumpUntil([&] { return fired.size() == 1; }, kWait));
}

TEST_F(CableLines, ShortPulseBetweenTwoSamplesStillFiresTheTrigger) {
  ASSERT_TRUE(LinesBecome(kModemCTS | kModemDSR | kModemDCD));
  b.DeltaCTS();
  const uint16_t handle = b.AddModemWatch(kModemTriggerType);
  b.ArmModemWatch(handle, 0x10, true);
  a.SetRTS(false);
  a.SetRTS(true);  // back before b's loop may have looked
  ASSERT_TRUE(loop->PumpUntil([&] { return fired.size() == 1; }, kWait));
  EXPECT_TRUE(b.DeltaCTS());
  EXPECT_TRUE(b.CTS());
  EXPECT_FALSE(loop->PumpUntil([&] { return fired.size() > 1; }, 100ms));
}

TEST(ModemTrigger, ChangeWhileTheOwnerIsInsideAnEventIsDeliveredOnceAfterIt) {
  // The trigger disarmed itself when it fired: its event must not be lost, nor run inside the
  // data handler that was running a nested loop when the line changed.
  auto loop = std::make_shared<OwnerLoop>();
  TSerialPort a(loop), b(loop);
  a.SetComNumber(251);
  b.SetComNumber(252);
  a.SetOpen(true);
  b.SetOpen(true);
  int fired = 0;
  bool inData = false;
  bool firedInside = false;
  b.OnTriggerModemStatus = [&](TSerialPort&, uint16_t) {
    ++fired;
    firedInside |= inData;
  };
  b.OnTriggerAvail = [&](TSerialPort& p, uint16_t n) {
    while (n--) p.ReadByte();
    inData = true;
    a.SetRTS(false);
    loop->PumpUntil([] { return false; }, 100ms);
    inData = false;
  };
  const uint16_t handle = b.AddModemWatch(kModemTriggerType);
  b.ArmModemWatch(handle, 0x10, true);
  a.WriteString(std::string("x"));
  ASSERT_TRUE(loop->PumpUntil([&] { return fired == 1; }, kWait));
  EXPECT_FALSE(firedInside);
  EXPECT_FALSE(loop->PumpUntil([&] { return fired > 1; }, 150ms));
}

TEST_F(CableLines, ArmedTriggerKeptOverAReopenFiresOnlyForALaterChange) {
  ASSERT_TRUE(LinesBecome(kModemCTS | kModemDSR | kModemDCD));
  const uint16_t handle = b.AddModemWatch(kModemTriggerType);
  b.ArmModemWatch(handle, 0x10, true);
  a.SetRTS(false);
  ASSERT_TRUE(loop->PumpUntil([&] { return fired.size() == 1; }, kWait));
  b.ArmModemWatch(handle, 0x10, true);
  b.SetComNumber(252);  // reopened, trigger kept armed; CTS is still off
  ASSERT_TRUE(b.Open());
  EXPECT_FALSE(loop->PumpUntil([&] { return fired.size() > 1; }, 150ms));
  a.SetRTS(true);
  ASSERT_TRUE(loop->PumpUntil([&] { return fired.size() == 2; }, kWait));
}
