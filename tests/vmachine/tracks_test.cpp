// Track arming: the track and function keys, INS, the bank key and the status bytes they feed.
#include <gtest/gtest.h>

#include "VmTestSupport.h"

namespace {

constexpr int kA1 = 0;
constexpr int kV = 4;

int LitTrackKeys(const VmPanel& panel) {
  int lit = 0;
  for (uint8_t lamp : panel.rr) lit += lamp != kLampOff;
  return lit;
}

TEST(Tracks, TrackKeysBuildTheShownBankBytes) {
  VirtualMachine vm = StartedMachine();
  vm.rr1Click(0);   // track 1
  vm.rr1Click(7);   // track 8
  vm.rr1Click(9);   // track 10
  vm.rr1Click(23);  // track 24
  EXPECT_EQ(vm.VmTrackBytes()[0], 0x81);
  EXPECT_EQ(vm.VmTrackBytes()[1], 0x02);
  EXPECT_EQ(vm.VmTrackBytes()[2], 0x80);
  EXPECT_EQ(vm.Panel().ra[kFunctionInsert], kLampLit);
  EXPECT_EQ(vm.VmPresetByte(), 0x40);
  EXPECT_EQ(Send(vm, {0x61, 0x20, 0x52}), Reply({0x72, 0x20, 0x40, 0x00}));
  EXPECT_EQ(vm.Port().Status[12], 0x81);
  vm.rr1Click(0);
  EXPECT_EQ(vm.VmTrackBytes()[0], 0x80);
  EXPECT_EQ(Send(vm, {0x61, 0x30, 0x02}), Reply({0x72, 0x30, 0x40, 0x80}));
}

TEST(Tracks, InsertCountsTracksOfEveryBank) {
  VirtualMachine vm = StartedMachine();
  vm.bankClick();
  EXPECT_EQ(vm.Panel().bankCaption, "25-48");
  EXPECT_EQ(vm.Panel().rrCaption[0], "25");
  EXPECT_EQ(vm.Panel().rrCaption[23], "48");
  vm.rr1Click(0);  // track 25
  EXPECT_EQ(vm.VmTrackBytes()[3], 0x01);
  EXPECT_EQ(vm.VmTrackBytes()[0], 0x00);
  for (int i = 0; i < 3; ++i) vm.bankClick();
  EXPECT_EQ(vm.TrackBank(), 0);
  EXPECT_EQ(vm.Panel().bank, 0);
  EXPECT_EQ(vm.Panel().bankCaption, "1-24");
  EXPECT_EQ(vm.Panel().rrCaption[0], "1");
  EXPECT_EQ(LitTrackKeys(vm.Panel()), 0);
  EXPECT_EQ(vm.Panel().ra[kFunctionInsert], kLampLit);
  // A key press on this bank leaves the bytes of the other banks alone.
  vm.rr1Click(2);
  vm.rr1Click(2);
  EXPECT_EQ(vm.VmTrackBytes()[3], 0x01);
  EXPECT_EQ(vm.Panel().ra[kFunctionInsert], kLampLit);
}

TEST(Tracks, BankKeyCyclesThroughFourLevels) {
  VirtualMachine vm = StartedMachine();
  const std::tuple<int, int, const char*, const char*> steps[] = {
      {1, 3, "25-48", "25"}, {2, 6, "49-72", "49"}, {3, 9, "73-96", "73"}, {0, 0, "1-24", "1"}};
  for (const auto& [level, bank, caption, first] : steps) {
    vm.bankClick();
    EXPECT_EQ(vm.Panel().bank, level);
    EXPECT_EQ(vm.TrackBank(), bank);
    EXPECT_EQ(vm.Panel().bankCaption, caption);
    EXPECT_EQ(vm.Panel().rrCaption[0], first);
  }
}

TEST(Tracks, AssembleKeepsInsertDark) {
  VirtualMachine vm = StartedMachine();
  vm.ra1Click(kFunctionAssemble);
  vm.rr1Click(4);
  vm.ra1Click(kV);
  EXPECT_EQ(vm.Panel().ra[kFunctionInsert], kLampOff);
  EXPECT_EQ(vm.VmPresetByte(), 0x30);
  vm.ra1Click(kFunctionAssemble);
  EXPECT_EQ(vm.Panel().ra[kFunctionInsert], kLampLit);
  EXPECT_EQ(vm.VmPresetByte(), 0x50);
  EXPECT_EQ(vm.Port().Status[5], 0x50);
}

TEST(Tracks, PressingInsertItselfHasNoLastingEffect) {
  VirtualMachine vm = StartedMachine();
  vm.ra1Click(kFunctionInsert);
  EXPECT_EQ(vm.Panel().ra[kFunctionInsert], kLampOff);
  EXPECT_EQ(vm.VmPresetByte(), 0x00);
  vm.ra1Click(kA1);
  vm.ra1Click(kFunctionInsert);
  EXPECT_EQ(vm.Panel().ra[kFunctionInsert], kLampLit);
  EXPECT_EQ(vm.VmPresetByte(), 0x41);
}

TEST(Tracks, EditorPresetLightsTheKeysAsSent) {
  VirtualMachine vm = StartedMachine();
  vm.bankClick();
  Send(vm, {0x45, 0x30, 0x05, 0x00, 0x00, 0x00, 0x03});  // A1, TC; tracks 25 and 26
  EXPECT_EQ(vm.Panel().ra[0], kLampLit);
  EXPECT_EQ(vm.Panel().ra[1], kLampOff);
  EXPECT_EQ(vm.Panel().ra[2], kLampLit);
  // INS is shown as sent, not recomputed.
  EXPECT_EQ(vm.Panel().ra[kFunctionInsert], kLampOff);
  EXPECT_EQ(LitTrackKeys(vm.Panel()), 2);
  EXPECT_EQ(vm.Panel().rr[1], kLampLit);
}

TEST(Tracks, KeysOutsideTheirRangeDoNothing) {
  VirtualMachine vm = StartedMachine();
  vm.rr1Click(24);
  vm.rr1Click(-1);
  vm.ra1Click(7);
  EXPECT_EQ(LitTrackKeys(vm.Panel()), 0);
  EXPECT_EQ(vm.VmPresetByte(), 0);
}

}  // namespace
