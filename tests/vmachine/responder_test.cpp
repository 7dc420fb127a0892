// The replies of the virtual machine to each group of messages, byte for byte.
#include <gtest/gtest.h>

#include "VmTestSupport.h"

namespace {

TEST(Responder, StatusSenseAnswersTheRequestedRange) {
  VirtualMachine vm = StartedMachine();
  for (int i = 0; i < 16; ++i) vm.Port().Status[static_cast<std::size_t>(i)] = 0x30 + i;
  EXPECT_EQ(Send(vm, {0x61, 0x20, 0x0A}),
            Reply({0x7A, 0x20, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39}));
  EXPECT_EQ(Send(vm, {0x61, 0x20, 0x21}), Reply({0x71, 0x20, 0x32}));
  EXPECT_EQ(vm.Port().SenseStart, 2);
}

TEST(Responder, StatusSenseNeverReadsPastS15) {
  VirtualMachine vm = StartedMachine();
  for (int i = 0; i < 16; ++i) vm.Port().Status[static_cast<std::size_t>(i)] = 0x30 + i;
  // S14 and S15 exist; the count says two bytes, as sent.
  EXPECT_EQ(Send(vm, {0x61, 0x20, 0xE5}), Reply({0x72, 0x20, 0x3E, 0x3F}));
  EXPECT_EQ(Send(vm, {0x61, 0x20, 0xFF}), Reply({0x71, 0x20, 0x3F}));
  // Without its range byte nothing was asked for.
  EXPECT_EQ(Send(vm, {0x60, 0x20}), Reply({0x70, 0x20}));
}

TEST(Responder, NoStatusAcknowledgesStatusRequests) {
  VirtualMachine vm = StartedMachine();
  vm.nostatusClick(true);
  EXPECT_EQ(Send(vm, {0x61, 0x20, 0x0A}), kAck);
}

TEST(Responder, DeviceTypeCarriesStandardAndUnitTracks) {
  VirtualMachine vm = StartedMachine(5, 0);  // Pro-Tools, EBU
  EXPECT_EQ(Send(vm, {0x00, 0x11}), Reply({0x12, 0x11, 0xD1, 0xE1}));
  vm.N24P1Click(1);
  EXPECT_EQ(Send(vm, {0x00, 0x11}), Reply({0x12, 0x11, 0xD0, 0xE1}));
  vm.N24P1Click(0);
  vm.Normal1Click(16);
  EXPECT_EQ(Send(vm, {0x00, 0x11}), Reply({0x13, 0x11, 0xD1, 0xE1, 0x10}));
  vm.N24P1Click(2);
  EXPECT_EQ(Send(vm, {0x00, 0x11}), Reply({0x13, 0x11, 0xD2, 0xE1, 0x10}));
}

TEST(Responder, ExtendedDeviceTypeReply) {
  VirtualMachine vm = StartedMachine(11, 0);  // MMR-8, EBU
  EXPECT_EQ(Send(vm, {0x00, 0x11}), Reply({0x14, 0x11, 0xF1, 0x1A, 0x00, 0xC1}));
  vm.N24P1Click(3);
  EXPECT_EQ(Send(vm, {0x00, 0x11}), Reply({0x14, 0x11, 0xF0, 0x1A, 0x00, 0xC1}));
}

TEST(Responder, VersionAndUnrecognisedSystemControl) {
  VirtualMachine vm = StartedMachine();
  EXPECT_EQ(Send(vm, {0x00, 0xB3}), Reply({0x12, 0xB3, 0x5A, 0x21}));
  EXPECT_EQ(Send(vm, {0x00, 0x0C}), kAck);
  EXPECT_EQ(vm.Panel().cmdstr, "00 0C 0C ");
}

TEST(Responder, UnassignedGroupsAreShownAndAcknowledged) {
  VirtualMachine vm = StartedMachine();
  EXPECT_EQ(Send(vm, {0x51, 0x20, 0x07}), kAck);
  EXPECT_EQ(vm.Panel().cmdstr, "51 20 07 78 ");
  EXPECT_EQ(Send(vm, {0x60, 0x55}), kAck);
  EXPECT_EQ(vm.Panel().cmdstr, "60 55 B5 ");
}

TEST(Responder, TimeSenseReportsThePosition) {
  VirtualMachine vm = StartedMachine();
  Send(vm, {0x24, 0x31, 0x00, 0x00, 0x10, 0x01});  // cue to 01:10:00:00
  EXPECT_EQ(Send(vm, {0x61, 0x0C, 0x01}), Reply({0x74, 0x04, 0x00, 0x00, 0x10, 0x01}));
  EXPECT_EQ(Send(vm, {0x61, 0x0C, 0x1E}), Reply({0x74, 0x1E, 0x00, 0x00, 0x10, 0x01}));
}

TEST(Responder, InEntryOnlyWhileRemoteAndReportedOnceByChangeFlags) {
  VirtualMachine vm = StartedMachine();
  Send(vm, {0x24, 0x31, 0x05, 0x04, 0x03, 0x02});  // 02:03:04:05
  EXPECT_EQ(Send(vm, {0x80, 0x01}), Reply({0x96, 0x01, 0x05, 0x04, 0x03, 0x02, 0x00, 0x01}));
  vm.vlocalClick();
  vm.vlocalClick();  // local
  EXPECT_EQ(Send(vm, {0x40, 0x10}), kAck);
  EXPECT_EQ(vm.Port().MarkIn, 0);
  EXPECT_EQ(Send(vm, {0x80, 0x01}), Reply({0x96, 0x01, 0x05, 0x04, 0x03, 0x02, 0x00, 0x00}));
  vm.vlocalClick();  // both
  EXPECT_EQ(Send(vm, {0x40, 0x10}), kAck);
  EXPECT_EQ(Send(vm, {0x40, 0x11}), kAck);
  EXPECT_EQ(vm.Port().Status[3], 0x03);
  EXPECT_EQ(Send(vm, {0x60, 0x10}), Reply({0x74, 0x10, 0x05, 0x04, 0x03, 0x02}));
  EXPECT_EQ(Send(vm, {0x60, 0x11}), Reply({0x74, 0x11, 0x05, 0x04, 0x03, 0x02}));
  EXPECT_EQ(Send(vm, {0x80, 0x01}), Reply({0x96, 0x01, 0x05, 0x04, 0x03, 0x02, 0x00, 0x06}));
  EXPECT_EQ(Send(vm, {0x80, 0x01}), Reply({0x96, 0x01, 0x05, 0x04, 0x03, 0x02, 0x00, 0x00}));
}

TEST(Responder, EditPresetStoredAndSensed) {
  VirtualMachine vm = StartedMachine();
  EXPECT_EQ(Send(vm, {0x44, 0x30, 0x11, 0x81, 0x00, 0x02}), kAck);
  EXPECT_EQ(vm.VmPresetByte(), 0x11);
  EXPECT_EQ(vm.VmTrackBytes()[0], 0x81);
  EXPECT_EQ(vm.VmTrackBytes()[2], 0x02);
  EXPECT_EQ(vm.Port().Status[5], 0x11);
  EXPECT_EQ(vm.Port().Status[12], 0x81);
  EXPECT_EQ(Send(vm, {0x61, 0x30, 0x04}), Reply({0x74, 0x30, 0x11, 0x81, 0x00, 0x02}));
  EXPECT_EQ(Send(vm, {0x80, 0x01}).at(7), 0x08 | 0x01);
}

TEST(Responder, EditPresetKeepsToTheTwelveTrackBytes) {
  VirtualMachine vm = StartedMachine();
  // Fifteen data bytes: the preset byte, twelve track bytes and two that have no place.
  EXPECT_EQ(Send(vm, {0x4F, 0x30, 0x01, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}), kAck);
  EXPECT_EQ(vm.VmTrackBytes()[11], 12);
  EXPECT_EQ(Send(vm, {0x61, 0x30, 0x0F}),
            Reply({0x7D, 0x30, 0x01, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(Send(vm, {0x61, 0x30, 0x00}), Reply({0x70, 0x30}));
}

TEST(Responder, FixedSenseReplies) {
  VirtualMachine vm = StartedMachine();
  EXPECT_EQ(Send(vm, {0x60, 0x36}), Reply({0x71, 0x36, 0x00}));
  EXPECT_EQ(Send(vm, {0x60, 0x91}), Reply({0x74, 0x91, 0x03, 0x02, 0x01, 0x00}));
  EXPECT_EQ(Send(vm, {0x60, 0x84}), Reply({0x70, 0x84}));
  EXPECT_EQ(Send(vm, {0x60, 0x85}), Reply({0x70, 0x84}));
  EXPECT_EQ(Send(vm, {0x60, 0xA3}), kAck);
  EXPECT_EQ(Send(vm, {0x60, 0xA4}), kAck);
}

TEST(Responder, MakerMessagesWithoutAReplyOfTheirOwnAreAcknowledged) {
  VirtualMachine vm = StartedMachine();
  EXPECT_EQ(Send(vm, {0x60, 0x36}), Reply({0x71, 0x36, 0x00}));
  // Not the timer-mode reply again: each gets its own acknowledgement.
  EXPECT_EQ(Send(vm, {0x80, 0x02}), kAck);
  EXPECT_EQ(Send(vm, {0xC0, 0x11}), kAck);
  EXPECT_EQ(Send(vm, {0xC5, 0x4A, 0x00, 0, 0, 0, 0}), kAck);
}

TEST(Responder, PlayWithOptionsLocatesAndPlays) {
  VirtualMachine vm = StartedMachine();
  Send(vm, {0xC5, 0x4A, 0x04, 0x00, 0x00, 0x10, 0x01});
  EXPECT_EQ(vm.Port().Position, 105000);
  EXPECT_EQ(vm.Speed(), 1000);
  EXPECT_EQ(vm.Port().Status[1], 0x81);
  EXPECT_EQ(vm.Port().Status[2], 0x80);
  EXPECT_EQ(vm.Panel().vplay, kLampLit);
  EXPECT_EQ(vm.Panel().vtally, "goto Play no audio");

  Send(vm, {0xC5, 0x4A, 0x18, 25, 0, 0, 0});
  EXPECT_EQ(vm.Port().Position, 105025);
  EXPECT_EQ(vm.Speed(), -1000);
  EXPECT_EQ(vm.Port().Status[2], 0x0C);
  EXPECT_EQ(vm.Panel().vrvsplay, kLampLit);
  EXPECT_EQ(vm.Panel().vplay, kLampOff);
  EXPECT_EQ(vm.Panel().vtally, "Ofst Rvs Play no audio25");

  vm.rvslockdirClick();
  Send(vm, {0xC5, 0x4A, 0x18, 25, 0, 0, 0});
  EXPECT_EQ(vm.Port().Position, 105000);

  Send(vm, {0xC5, 0x4A, 0x10, 0xFF, 0xFF, 0xFF, 0xFF});  // offset -1
  EXPECT_EQ(vm.Port().Position, 104999);
  EXPECT_EQ(vm.Panel().vtally, "Ofst Play no audio-1");

  Send(vm, {0xC5, 0x4A, 0x11, 0x00, 0x00, 0x00, 0x02});  // no locate mode: stays
  EXPECT_EQ(vm.Port().Position, 104999);
  EXPECT_EQ(vm.Panel().vtally, "Play with audio");
}

TEST(Responder, EveryMessageOfOneEventIsAnsweredInOrder) {
  VirtualMachine vm = StartedMachine();
  // A damaged request leaves debris; the editor's retry lands beside the next request.
  vm.DataAvailable(Bytes{0x20}, {});
  const Bytes two = Concat({Framed({0x00, 0x11}), Framed({0x60, 0x36})});
  const VmEventResult result = vm.DataAvailable(two, {true, true, false});
  const Bytes third = Framed({0x00, 0xB3});
  const VmEventResult alone = vm.DataAvailable(third, {});
  EXPECT_EQ(Concat({result.ReplyBytes(), alone.ReplyBytes()}),
            Concat({Reply({0x12, 0x11, 0xF1, 0x1D}), Reply({0x71, 0x36, 0x00}),
                    Reply({0x12, 0xB3, 0x5A, 0x21})}));
  EXPECT_EQ(result.exchanges.size(), 2u);
  EXPECT_EQ(result.MonitorLines(), (std::vector<std::string>{"Rx:00 11 11 ", "  Tx 12 11 F1 1D 31 ",
                                                             "Rx:60 36 96 ", "  Tx 71 36 00 A7 "}));
  EXPECT_EQ(vm.Panel().csuma, "01");
}

TEST(Responder, MonitorLinesFollowTheBoxAndTheWindow) {
  VirtualMachine vm = StartedMachine();
  const Bytes play = Framed({0x20, 0x01});
  VmEventResult both = vm.DataAvailable(play, {true, true, true});
  EXPECT_EQ(both.MonitorLines(),
            (std::vector<std::string>{"Rx:20 01 21 ", "20 01 21 ", "  Tx 10 01 11 "}));
  VmEventResult windowOnly = vm.DataAvailable(play, {true, false, true});
  EXPECT_EQ(windowOnly.MonitorLines(), (std::vector<std::string>{"20 01 21 "}));
  const Bytes status = Framed({0x61, 0x20, 0x01});
  VmEventResult boxOnly = vm.DataAvailable(status, {true, true, false});
  EXPECT_EQ(boxOnly.MonitorLines(),
            (std::vector<std::string>{"Rx:61 20 01 82 ", "  Tx 71 20 00 91 "}));
}

TEST(Responder, ClosedPortAnswersNothingButStillActs) {
  VirtualMachine vm = StartedMachine();
  const Bytes play = Framed({0x20, 0x01});
  const VmEventResult result = vm.DataAvailable(play, {false, true, false});
  ASSERT_EQ(result.exchanges.size(), 1u);
  EXPECT_TRUE(result.ReplyBytes().empty());
  EXPECT_EQ(result.MonitorLines(), (std::vector<std::string>{"Rx:20 01 21 "}));
  EXPECT_EQ(vm.Speed(), 1000);
}

TEST(Responder, BurstOverThirtyBytesIsDiscardedUnread) {
  VirtualMachine vm = StartedMachine();
  vm.DataAvailable(Bytes{0x20}, {});
  const Bytes burst(31, 0x00);
  const VmEventResult result = vm.DataAvailable(burst, {});
  EXPECT_TRUE(result.inputDiscarded);
  EXPECT_TRUE(result.exchanges.empty());
  // The byte held from before still completes its message.
  EXPECT_EQ(vm.DataAvailable(Bytes{0x01, 0x21}, {}).ReplyBytes(), kAck);
}

TEST(Responder, ChecksumFailuresAreCountedNotAnswered) {
  VirtualMachine vm = StartedMachine();
  const VmEventResult bad = vm.DataAvailable(Bytes{0x20, 0x01, 0x22}, {});
  EXPECT_TRUE(bad.exchanges.empty());
  EXPECT_EQ(vm.Panel().csuma, "01");
  EXPECT_EQ(vm.Panel().csumaTag, 1);
}

}  // namespace
