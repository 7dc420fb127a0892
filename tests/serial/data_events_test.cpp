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
  EXPECT_EQ(ReadBytes(pty.Master(), accepted.size()), accepted);
  EXPECT_TRUE(Silent(pty.Master(), 100ms));  // nothing of the refused string
}

namespace {

// The owner loop, noting which thread of the port handed each call over.
class NotingInvoker : public EventInvoker {
 public:
  bool Invoke(std::function<void()> fn, int timeoutMs) override {
    return loop->Invoke(
        [this, fn = std::move(fn), caller = std::this_thread::get_id()] {
          lastCaller = caller;
          fn();
        },
        timeoutMs);
  }
  std::shared_ptr<OwnerLoop> loop = std::make_shared<OwnerLoop>();
  std::thread::id lastCaller;
};

}  // namespace

TEST(DataHandOver, DataReachesTheOwnerWithoutPassingThroughTheDispatcher) {
  auto invoker = std::make_shared<NotingInvoker>();
  OwnedPort a;
  TSerialPort b(invoker);
  a.port.SetComNumber(251);
  b.SetComNumber(252);
  a.port.SetOpen(true);
  b.SetOpen(true);
  std::thread::id modemFrom;
  std::vector<std::thread::id> dataFrom;
  b.OnTriggerAvail = [&](TSerialPort& p, uint16_t n) {
    while (n--) p.ReadByte();
    dataFrom.push_back(invoker->lastCaller);
  };
  b.OnTriggerModemStatus = [&](TSerialPort&, uint16_t) { modemFrom = invoker->lastCaller; };
  const uint16_t handle = b.AddModemWatch(kModemTriggerType);
  b.ArmModemWatch(handle, kModemCTS, true);
  a.port.SetRTS(false);  // modem events keep going through the dispatcher
  ASSERT_TRUE(invoker->loop->PumpUntil([&] { return modemFrom != std::thread::id(); }, kWait));
  // Data that comes while the dispatcher is handing something over still goes through it; with
  // the port idle between messages, the reader hands it over itself.
  for (std::size_t i = 1; i <= 10; ++i) {
    invoker->loop->PumpUntil([] { return false; }, 20ms);
    a.port.WriteString(std::string("abc"));
    ASSERT_TRUE(invoker->loop->PumpUntil([&] { return dataFrom.size() == i; }, kWait));
  }
  EXPECT_GE(std::count_if(dataFrom.begin(), dataFrom.end(),
                          [&](std::thread::id from) { return from != modemFrom; }),
            5);
}
