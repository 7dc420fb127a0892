// The virtual transport: every command row, its status bits, lamps and texts, the speed table and
// the position advance.
#include <gtest/gtest.h>

#include "SpeedTable.h"
#include "VmTestSupport.h"

namespace {

// The lit transport keys, by their captions, in panel order.
std::string LitKeys(const VmPanel& p) {
  std::string keys;
  const std::pair<const char*, uint8_t> lamps[] = {
      {"<<", p.vrwd}, {"<", p.vrvsplay}, {"[]", p.vstop}, {">", p.vplay}, {">>", p.vfwd}};
  for (const auto& [caption, lamp] : lamps) {
    if (lamp != kLampOff) keys += std::string(keys.empty() ? "" : " ") + caption;
  }
  return keys;
}

struct Row {
  std::vector<uint8_t> command;
  int32_t speed;
  uint8_t s1;
  uint8_t s2;
  const char* keys;
  const char* tally;
};

TEST(Transport, EveryCommandRowFromStop) {
  const Row rows[] = {
      {{0x20, 0x00}, 0, 0xA0, 0x02, "[]", "Stop"},
      {{0x20, 0x01}, 1000, 0x81, 0x80, ">", "Play 1.00"},
      {{0x20, 0x02}, 1000, 0x83, 0x80, ">", "Record+Play 1.00"},
      {{0x20, 0x10}, 70000, 0x84, 0x00, ">>", "Fast Fwd 70.00"},
      {{0x21, 0x11, 0x40}, 1000, 0x80, 0x10, "[] >", "Jog 1.00"},
      {{0x21, 0x12, 0x40}, 1000, 0x80, 0x08, ">", "Vari-Ply 1.00"},
      {{0x21, 0x13, 0x40}, 1000, 0x80, 0x20, ">>", "Shuttle 1.00"},
      {{0x20, 0x20}, -70000, 0x88, 0x04, "<<", "Fast Rvs -70.00"},
      {{0x21, 0x21, 0x40}, -1000, 0x80, 0x14, "< []", "Jog -1.00"},
      {{0x21, 0x22, 0x20}, -100, 0x80, 0x0C, "<", "Vari-Ply -0.10"},
      {{0x21, 0x23, 0x20}, -100, 0x80, 0x24, "<<", "Shuttle -0.10"},
      {{0x24, 0x31, 0x00, 0x00, 0x10, 0x01}, 0, 0xA0, 0x03, "[]", "Stop+Cued"},
  };
  for (const Row& row : rows) {
    VirtualMachine vm = StartedMachine();
    const Bytes message = WithChecksum(row.command);
    SCOPED_TRACE(HexBytes(message));
    EXPECT_EQ(vm.DataAvailable(message, {}).ReplyBytes(), kAck);
    EXPECT_EQ(vm.Speed(), row.speed);
    EXPECT_EQ(vm.Port().Status[1], row.s1);
    EXPECT_EQ(vm.Port().Status[2], row.s2);
    EXPECT_EQ(LitKeys(vm.Panel()), row.keys);
    EXPECT_EQ(vm.Panel().vtally, row.tally);
    EXPECT_EQ(vm.Panel().vlocked, (row.s2 & 0x80) ? kLampLit : kLampOff);
    EXPECT_EQ(vm.Panel().vcued, (row.s2 & 0x01) ? kLampLit : kLampOff);
  }
}

TEST(Transport, SpeedTableValues) {
  const std::pair<int, int32_t> entries[] = {{0, 0},      {1, 10},      {2, 11},
                                             {7, 16},     {32, 100},    {64, 1000},
                                             {96, 10000}, {105, 19109}, {128, 100000}};
  for (const auto& [n, speed] : entries) EXPECT_EQ(SpeedOf(static_cast<uint8_t>(n)), speed) << n;
  for (int n = 2; n < kSpeedTableSize; ++n) {
    EXPECT_GT(SpeedOf(static_cast<uint8_t>(n)), SpeedOf(static_cast<uint8_t>(n - 1))) << n;
  }
}

TEST(Transport, SpeedBytesAboveTheTableTakeItsLastEntry) {
  EXPECT_EQ(SpeedOf(0x81), 100000);
  EXPECT_EQ(SpeedOf(0xFF), 100000);
  VirtualMachine vm = StartedMachine();
  Send(vm, {0x21, 0x13, 0xC0});
  EXPECT_EQ(vm.Speed(), 100000);
  Send(vm, {0x21, 0x23, 0xFF});
  EXPECT_EQ(vm.Speed(), -100000);
}

TEST(Transport, JogAtSpeedZeroStandsStill) {
  VirtualMachine vm = StartedMachine();
  Send(vm, {0x21, 0x11, 0x00});
  EXPECT_EQ(vm.Speed(), 0);
  EXPECT_EQ(LitKeys(vm.Panel()), "[] >");
  EXPECT_EQ(vm.Port().Status[2], 0x12);
  EXPECT_TRUE(vm.Port().Still);
  vm.nostillClick(false);
  Send(vm, {0x21, 0x11, 0x00});
  EXPECT_EQ(vm.Port().Status[2], 0x10);
  EXPECT_FALSE(vm.Port().Still);
}

TEST(Transport, RecordOnlyWhilePlayingAtPlaySpeed) {
  VirtualMachine vm = StartedMachine();
  Send(vm, {0x20, 0x00});
  Send(vm, {0x20, 0x65});
  EXPECT_EQ(vm.Panel().vedit, kLampOff);
  EXPECT_EQ(vm.Port().Status[1], 0xA0);
  Send(vm, {0x20, 0x01});
  Send(vm, {0x20, 0x65});
  EXPECT_EQ(vm.Port().Status[1], 0x83);
  EXPECT_EQ(vm.Port().Status[4], 0x10);
  EXPECT_EQ(vm.Panel().vedit, kLampLit);
  EXPECT_EQ(vm.Panel().vOff, kLampOff);
  Send(vm, {0x20, 0x64});
  EXPECT_EQ(vm.Port().Status[1], 0x81);
  Send(vm, {0x20, 0x02});
  EXPECT_EQ(vm.Port().Status[1], 0x83);
  Send(vm, {0x20, 0x00});
  EXPECT_EQ(vm.Port().Status[1], 0xA0);
  EXPECT_EQ(vm.Port().Status[4], 0x00);
  EXPECT_EQ(vm.Panel().vedit, kLampOff);
  EXPECT_EQ(vm.Panel().vOff, kLampLit);
}

TEST(Transport, CommandsThatDoNotResetKeepTheState) {
  VirtualMachine vm = StartedMachine();
  Send(vm, {0x24, 0x31, 0x00, 0x00, 0x00, 0x01});
  Send(vm, {0x20, 0x37});
  EXPECT_EQ(vm.Port().Status[7], 0x10);
  Send(vm, {0x20, 0x61});
  EXPECT_EQ(vm.Port().Status[4], 0x40);
  Send(vm, {0x20, 0x00});  // STOP keeps the cue-up bit
  EXPECT_EQ(vm.Port().Status[2], 0x03);
  EXPECT_EQ(vm.Port().Status[7], 0x00);
  Send(vm, {0x20, 0x60});
  EXPECT_EQ(vm.Port().Status[4], 0x00);
  Send(vm, {0x20, 0x01});  // PLAY clears it
  EXPECT_EQ(vm.Port().Status[2], 0x80);
  EXPECT_EQ(vm.Panel().vcued, kLampOff);
}

TEST(Transport, CuedBoxMakesEveryCommandReportCueUp) {
  VirtualMachine vm = StartedMachine();
  vm.qallClick(true);
  Send(vm, {0x20, 0x01});
  EXPECT_EQ(vm.Port().Status[2], 0x81);
  EXPECT_EQ(vm.Panel().vcued, kLampLit);
  Send(vm, {0x20, 0x10});
  EXPECT_EQ(vm.Port().Status[2], 0x01);
  EXPECT_EQ(vm.Panel().vtally, "Fast Fwd+Cued 70.00");
}

TEST(Transport, PositionAdvancesBySpeed) {
  VirtualMachine vm = StartedMachine();
  EXPECT_EQ(vm.Panel().vpoz, "__:__:__:__");
  Send(vm, {0x20, 0x01});
  Ticks(vm, 3);
  EXPECT_EQ(vm.Port().Position, 3);
  EXPECT_EQ(vm.Panel().vpoz, "00:00:00:03");
  EXPECT_EQ(vm.Port().PositionText, "00:00:00:03");
  Send(vm, {0x21, 0x12, 0x20});  // 0.1 x play
  Ticks(vm, 9);
  EXPECT_EQ(vm.Port().Position, 3);
  Ticks(vm, 1);
  EXPECT_EQ(vm.Port().Position, 4);
  Send(vm, {0x20, 0x10});
  Ticks(vm, 1);
  EXPECT_EQ(vm.Port().Position, 74);
}

TEST(Transport, RemainderKeepsItsSignAndSurvivesSpeedChanges) {
  VirtualMachine vm = StartedMachine();
  Send(vm, {0x24, 0x31, 0x00, 0x04, 0x00, 0x00});  // 100 frames
  Send(vm, {0x21, 0x21, 70});                      // jog reverse, 1540
  ASSERT_EQ(vm.Speed(), -1540);
  std::vector<int32_t> positions;
  for (int i = 0; i < 4; ++i) {
    vm.FrameTick();
    positions.push_back(vm.Port().Position);
  }
  EXPECT_EQ(positions, (std::vector<int32_t>{99, 97, 96, 94}));
  EXPECT_EQ(vm.Remainder(), -160);
  Send(vm, {0x20, 0x01});
  vm.FrameTick();  // -160 + 1000 = 840: no whole frame yet
  EXPECT_EQ(vm.Port().Position, 94);
  vm.FrameTick();
  EXPECT_EQ(vm.Port().Position, 95);
  EXPECT_EQ(vm.Remainder(), 840);
}

TEST(Transport, RewindWrapsAcrossMidnight) {
  VirtualMachine vm = StartedMachine();
  Send(vm, {0x20, 0x20});
  vm.FrameTick();
  EXPECT_EQ(vm.Port().Position, 24 * 3600 * 25 - 70);
  EXPECT_EQ(vm.Panel().vpoz, "23:59:57:05");
  Send(vm, {0x20, 0x10});
  vm.FrameTick();
  EXPECT_EQ(vm.Panel().vpoz, "00:00:00:00");
}

TEST(Transport, PanelKeysRunTheirCommands) {
  VirtualMachine vm = StartedMachine();
  vm.vplayClick(kTagRvsPlay);
  EXPECT_EQ(vm.Speed(), -1000);
  EXPECT_EQ(vm.Port().Status[2], 0x0C);
  EXPECT_EQ(vm.Panel().vtally, "Vari-Ply -1.00");
  vm.vplayClick(kTagPlay);
  vm.vplayClick(kTagEdit);
  EXPECT_EQ(vm.Port().Status[1], 0x83);
  vm.vplayClick(kTagOff);
  EXPECT_EQ(vm.Port().Status[1], 0x81);
  vm.vplayClick(kTagFwd);
  EXPECT_EQ(vm.Speed(), 70000);
  vm.vplayClick(kTagRwd);
  EXPECT_EQ(vm.Speed(), -70000);
  vm.vplayClick(kTagStop);
  EXPECT_EQ(vm.Speed(), 0);
  EXPECT_EQ(LitKeys(vm.Panel()), "[]");
}

TEST(Transport, GotoCuesOrJustStops) {
  VirtualMachine vm = StartedMachine();
  Send(vm, {0x20, 0x01});
  vm.vgotoClick(std::nullopt);
  EXPECT_EQ(vm.Speed(), 0);
  EXPECT_EQ(vm.Port().Position, 0);
  EXPECT_EQ(vm.Panel().vcued, kLampOff);
  vm.vgotoClick(std::string("01:10:00:00"));
  EXPECT_EQ(vm.Port().Position, 105000);
  EXPECT_EQ(vm.Port().Status[1], 0xA0);
  EXPECT_EQ(vm.Port().Status[2], 0x03);
  EXPECT_EQ(vm.Panel().vtally, "Stop+Cued");
  EXPECT_EQ(vm.Panel().vcued, kLampLit);
}

TEST(Transport, ModeKeyDecidesWhoDrives) {
  VirtualMachine vm = StartedMachine();
  EXPECT_EQ(vm.Panel().vlocal, 1);
  EXPECT_EQ(vm.Panel().vlocalCaption, "Both");
  vm.vlocalClick();
  EXPECT_EQ(vm.Mode(), VmMode::Remote);
  EXPECT_EQ(vm.Panel().vlocal, 3);
  EXPECT_EQ(vm.Panel().vlocalCaption, "Remote");
  EXPECT_FALSE(vm.PanelKeysActive());
  vm.vplayClick(kTagPlay);
  vm.vgotoClick(std::string("01:00:00:00"));
  EXPECT_EQ(vm.Speed(), 0);
  EXPECT_EQ(vm.Port().Position, 0);
  Send(vm, {0x20, 0x01});
  EXPECT_EQ(vm.Speed(), 1000);

  vm.vlocalClick();
  EXPECT_EQ(vm.Panel().vlocal, 0);
  EXPECT_EQ(vm.Panel().vlocalCaption, "local");
  EXPECT_EQ(vm.Port().Status[0], 0x01);
  const Bytes stop = Framed({0x20, 0x00});
  const VmEventResult ignored = vm.DataAvailable(stop, {true, false, true});
  EXPECT_EQ(ignored.ReplyBytes(), kAck);
  EXPECT_EQ(ignored.MonitorLines(), (std::vector<std::string>{"20 00 20 "}));
  EXPECT_EQ(vm.Speed(), 1000);
  // The status still says local: bit 0 of S0.
  EXPECT_EQ(Send(vm, {0x61, 0x20, 0x01}), Reply({0x71, 0x20, 0x01}));
  vm.vplayClick(kTagStop);
  EXPECT_EQ(vm.Speed(), 0);

  vm.vlocalClick();
  EXPECT_EQ(vm.Panel().vlocalCaption, "both");
  EXPECT_EQ(vm.Port().Status[0], 0x00);
  EXPECT_TRUE(vm.Port().Remote);
}

TEST(Transport, RecInhibitIsStatusBitS8) {
  VirtualMachine vm = StartedMachine();
  vm.recinhibitClick(true);
  EXPECT_EQ(Send(vm, {0x61, 0x20, 0x81}), Reply({0x71, 0x20, 0x01}));
  vm.recinhibitClick(false);
  EXPECT_EQ(Send(vm, {0x61, 0x20, 0x81}), Reply({0x71, 0x20, 0x00}));
}

}  // namespace
