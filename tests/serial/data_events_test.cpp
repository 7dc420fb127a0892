// Received bytes reach the owner as data events; written bytes reach the device.
#include <algorithm>
#include <thread>

#include "SerialTestSupport.h"

using namespace serial_test;

namespace {

class DataEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    owned.port.SetComNumber(202);
    owned.port.OnTriggerAvail = [this](TSerialPort& port, uint16_t count) {
      counts.push_back(count);
      const int take = readPerEvent < 0 ? count : std::min<int>(readPerEvent, count);
      for (int i = 0; i < take; ++i) got.push_back(port.ReadByte());
    };
    owned.port.SetOpen(true);
  }

  PtyPair pty;
  ComOverride map{202, pty.Path()};
  OwnedPort owned;
  int readPerEvent = -1;  // all
  std::vector<uint16_t> counts;
  std::vector<uint8_t> got;
};

}  // namespace

TEST_F(DataEvents, ThreeBytesTogetherGiveOneEventWithCountThree) {
  WriteAll(pty.Master(), {0x61, 0x0C, 0x01});
  ASSERT_TRUE(owned.PumpUntil([&] { return got.size() == 3; }));
  EXPECT_EQ(counts, std::vector<uint16_t>{3});
  EXPECT_EQ(got, (std::vector<uint8_t>{0x61, 0x0C, 0x01}));
}

TEST_F(DataEvents, UnreadBytesWaitForTheNextArrival) {
  readPerEvent = 1;
  WriteAll(pty.Master(), {1, 2, 3});
  ASSERT_TRUE(owned.PumpUntil([&] { return counts.size() == 1; }));
  // No new bytes: no new event, however long we pump.
  EXPECT_FALSE(owned.PumpUntil([&] { return counts.size() > 1; }, 200ms));
  WriteAll(pty.Master(), {4});
  ASSERT_TRUE(owned.PumpUntil([&] { return counts.size() == 2; }));
  EXPECT_EQ(counts, (std::vector<uint16_t>{3, 3}));
  EXPECT_EQ(got, (std::vector<uint8_t>{1, 2}));
}

TEST_F(DataEvents, FourKilobyteBurstArrivesWholeAndInOrder) {
  std::vector<uint8_t> burst(4096);
  for (std::size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<uint8_t>(i * 7 + i / 256);
  WriteAll(pty.Master(), burst);
  ASSERT_TRUE(owned.PumpUntil([&] { return got.size() >= burst.size(); }));
  EXPECT_EQ(got, burst);
}

TEST_F(DataEvents, MoreThanTheReceiveRingHoldsIsDeliveredOnceTheHandlerReads) {
  std::vector<uint8_t> flood(20000);
  for (std::size_t i = 0; i < flood.size(); ++i) flood[i] = static_cast<uint8_t>(i % 251);
  std::thread writer([&] { WriteAll(pty.Master(), flood); });
  EXPECT_TRUE(owned.PumpUntil([&] { return got.size() >= flood.size(); }));
  writer.join();
  EXPECT_EQ(got, flood);
  for (uint16_t count : counts) EXPECT_LE(count, 8192);
}

TEST_F(DataEvents, DiscardInputDropsWhatWasNotRead) {
  readPerEvent = 0;
  WriteAll(pty.Master(), {9, 9, 9});
  ASSERT_TRUE(owned.PumpUntil([&] { return counts.size() == 1; }));
  owned.port.DiscardInput();
  EXPECT_THROW(owned.port.ReadByte(), EInputBufferEmpty);
  readPerEvent = -1;
  WriteAll(pty.Master(), {5});
  ASSERT_TRUE(owned.PumpUntil([&] { return got.size() == 1; }));
  EXPECT_EQ(counts.back(), 1);
  EXPECT_EQ(got, std::vector<uint8_t>{5});
}

TEST_F(DataEvents, WrittenStringsReachTheDeviceInOrder) {
  owned.port.WriteString(std::vector<uint8_t>{0x20, 0x01, 0x21});
  owned.port.WriteString(std::string("\x10\x01\x11", 3));
  owned.port.WriteString(std::string());
  EXPECT_EQ(ReadBytes(pty.Master(), 6), (std::vector<uint8_t>{0x20, 0x01, 0x21, 0x10, 0x01, 0x11}));
  EXPECT_TRUE(Silent(pty.Master(), 50ms));
}

TEST_F(DataEvents, StringLongerThanTheFreeOutputSpaceWritesNothing) {
  owned.port.SetOpen(false);
  owned.port.SetOutSize(16);
  owned.port.SetOpen(true);
  EXPECT_THROW(owned.port.WriteString(std::vector<uint8_t>(17, 0xAA)), EOutputBufferTooSmall);
  owned.port.WriteString(std::vector<uint8_t>(16, 0x55));
  EXPECT_EQ(ReadBytes(pty.Master(), 16), std::vector<uint8_t>(16, 0x55));
  EXPECT_TRUE(Silent(pty.Master(), 50ms));
}

TEST_F(DataEvents, FullOutputRingRefusesAWholeStringAndKeepsWhatItAccepted) {
  // The far side reads nothing, so the device's queue fills and then the output ring.
  std::vector<uint8_t> accepted;
  uint8_t next = 0;
  bool refused = false;
  for (int i = 0; i < 100000 && !refused; ++i) {
    std::vector<uint8_t> block(100);
    for (uint8_t& b : block) b = next++;
    try {
      owned.port.WriteString(block);
      accepted.insert(accepted.end(), block.begin(), block.end());
    } catch (const EOutputBufferTooSmall&) {
      refused = true;
    }
  }
  ASSERT_TRUE(refused);
  std::vector<uint8_t> arrived;
  owned.PumpUntil([&] {  // the ring goes out as the far side makes room
    const auto more = ReadBytes(pty.Master(), accepted.size() - arrived.size(), 1ms);
    arrived.insert(arrived.end(), more.begin(), more.end());
    return arrived.size() == accepted.size();
  });
  EXPECT_EQ(arrived, accepted);
  owned.loop->Pump(20ms);
  EXPECT_TRUE(Silent(pty.Master(), 100ms));  // nothing of the refused string
}

TEST(DataHandOver, DataIsReadAndDeliveredOnTheOwnerThreadInOneWakeUp) {
  OwnedPort a, b;
  a.port.SetComNumber(251);
  b.port.SetComNumber(252);
  a.port.SetOpen(true);
  b.port.SetOpen(true);
  const std::thread::id owner = std::this_thread::get_id();
  std::thread::id modemFrom;
  std::vector<std::thread::id> dataFrom;
  b.port.OnTriggerAvail = [&](TSerialPort& p, uint16_t n) {
    while (n--) p.ReadByte();
    dataFrom.push_back(std::this_thread::get_id());
  };
  b.port.OnTriggerModemStatus = [&](TSerialPort&, uint16_t) {
    modemFrom = std::this_thread::get_id();
  };
  const uint16_t handle = b.port.AddModemWatch(kModemTriggerType);
  b.port.ArmModemWatch(handle, kModemCTS, true);
  a.port.SetRTS(false);
  ASSERT_TRUE(b.PumpUntil([&] { return modemFrom != std::thread::id(); }));
  EXPECT_EQ(modemFrom, owner);
  b.loop->Pump(20ms);  // whatever else the line change woke
  // Each request: one wake-up of the owner's loop reads it and runs the handler.
  for (std::size_t i = 1; i <= 10; ++i) {
    a.port.WriteString(std::string("abc"));
    EXPECT_GE(b.loop->Pump(kWait), 1);
    ASSERT_EQ(dataFrom.size(), i);
    EXPECT_EQ(dataFrom.back(), owner);
  }
}
