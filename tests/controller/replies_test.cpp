// What the panel shows for each kind of reply.
#include <gtest/gtest.h>

#include "ControllerTestBytes.h"
#include "MachineController.h"

namespace {

// Status reply 7F 20 with S0..S14; the rest zero.
Bytes Status(uint8_t s0, uint8_t s1, uint8_t s2, uint8_t s4 = 0) {
  return Framed({0x7F, 0x20, s0, s1, s2, 0, s4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}

TEST(StatusReply, UnchangedStatusTouchesNoLamp) {
  MachineController controller;
  // All-zero status equals the stored copy: the form defaults stay although the machine is remote.
  controller.SerialBTriggerAvail(Status(0, 0, 0));
  EXPECT_EQ(controller.Panel().kremote.Caption, "Local");
  EXPECT_FALSE(controller.Panel().kremote.Lit);
  EXPECT_TRUE(controller.Panel().koff.Lit);

  controller.SerialBTriggerAvail(Status(0, 0x20, 0));  // stop
  EXPECT_EQ(controller.Panel().kremote.Caption, "remote");
  EXPECT_TRUE(controller.Panel().kremote.Lit);
  EXPECT_TRUE(controller.Panel().kstop.Lit);
}

TEST(StatusReply, TransportLampsFollowTheMode) {
  MachineController controller;
  struct Case {
    uint8_t s1;
    bool stop, play, rwd, fwd, rvs;
  };
  const Case cases[] = {{0x20, 1, 0, 0, 0, 0}, {0x81, 0, 1, 0, 0, 0}, {0x03, 0, 1, 0, 0, 0},
                        {0x08, 0, 0, 1, 0, 0}, {0x04, 0, 0, 0, 1, 0}, {0x22, 0, 0, 0, 0, 1}};
  for (const Case& c : cases) {
    controller.SerialBTriggerAvail(Status(0x01, c.s1, 0));
    const MachineControlPanel& panel = controller.Panel();
    EXPECT_EQ(panel.kstop.Lit, c.stop) << int(c.s1);
    EXPECT_EQ(panel.kplay.Lit, c.play) << int(c.s1);
    EXPECT_EQ(panel.krwd.Lit, c.rwd) << int(c.s1);
    EXPECT_EQ(panel.kfwd.Lit, c.fwd) << int(c.s1);
    EXPECT_EQ(panel.krvsplay.Lit, c.rvs) << int(c.s1);
    EXPECT_FALSE(panel.kremote.Lit);  // S0 bit 0 set: local
    EXPECT_EQ(panel.kremote.Caption, "Local");
  }
}

TEST(StatusReply, EditGotoCuedStillLamps) {
  MachineController controller;
  controller.SerialBTriggerAvail(Status(0, 0x20, 0x03, 0x11));
  const MachineControlPanel& panel = controller.Panel();
  EXPECT_TRUE(panel.kedit.Lit);
  EXPECT_FALSE(panel.koff.Lit);
  EXPECT_TRUE(panel.kgoto.Lit);
  EXPECT_TRUE(panel.kcued.Lit);
  EXPECT_TRUE(panel.kstill.Lit);
  controller.SerialBTriggerAvail(Status(0, 0x22, 0));  // S1 bit 1 also means edit
  EXPECT_TRUE(panel.kedit.Lit);
  controller.SerialBTriggerAvail(Status(0, 0x20, 0));
  EXPECT_FALSE(panel.kedit.Lit);
  EXPECT_TRUE(panel.koff.Lit);
  EXPECT_FALSE(panel.kgoto.Lit);
}

TEST(TimeReply, TimeCodesUpdateAndUserBitsDoNot) {
  MachineController controller;
  for (uint8_t cmd2 : {0x00, 0x01, 0x04, 0x06, 0x14}) {
    controller.SerialBTriggerAvail(Framed({0x74, cmd2, 0x10, 0x20, 0x30, cmd2}));
    EXPECT_EQ(controller.Panel().bpoz, "" + HexByte(cmd2) + ":30:20:10") << int(cmd2);
  }
  controller.SerialBTriggerAvail(Framed({0x74, 0x05, 0x11, 0x11, 0x11, 0x11}));
  EXPECT_EQ(controller.Panel().bpoz, "14:30:20:10");
  controller.SerialBTriggerAvail(Framed({0x74, 0x04, 0x45, 0x59, 0x59, 0x83}));  // drop-frame, flag
  EXPECT_EQ(controller.Panel().bpoz, "03;59;59;05*");
  EXPECT_TRUE(controller.Port().DropFrame);
  controller.SerialBTriggerAvail(Framed({0x72, 0x04, 0x01, 0x02}));  // too short for a time code
  EXPECT_EQ(controller.Panel().bpoz, "03;59;59;05*");
}

TEST(IdentReply, NameVersionAndOthers) {
  MachineController controller;
  controller.SerialBTriggerAvail(Framed({0x12, 0xB3, 0x01, 0x02}));
  EXPECT_EQ(controller.Panel().statusText, "Name V: 01 02");
  controller.SerialBTriggerAvail(Framed({0x12, 0x11, 0xF0, 0x1D}));
  EXPECT_EQ(controller.Panel().name, "DA-88 NTSC nd");
  controller.ZQVersion1Click();
  EXPECT_EQ(controller.Panel().statusText, "");
  controller.SerialBTriggerAvail(Framed({0x12, 0xB3, 0xAB, 0x0C}));
  EXPECT_EQ(controller.Panel().statusText, "DA-88 NTSC nd V: AB 0C");
  controller.SerialBTriggerAvail(Framed({0x11, 0x12, 0x00}));  // NAK
  controller.SerialBTriggerAvail(Framed({0x10, 0x11}));        // no id bytes
  EXPECT_EQ(controller.Panel().name, "DA-88 NTSC nd");
}

TEST(EditPresetReply, RelightsTracksOfTheBankShown) {
  MachineController controller;
  // INS + A1, track 1, track 30 (byte 3 bit 5), track 96.
  controller.SerialBTriggerAvail(
      Framed({0x7D, 0x30, 0x41, 0x01, 0, 0, 0x20, 0, 0, 0, 0, 0, 0, 0, 0x80}));
  const MachineControlPanel& panel = controller.Panel();
  EXPECT_TRUE(panel.kr[0].Lit);
  EXPECT_TRUE(panel.Function(FunctionKey::A1).Lit);
  EXPECT_TRUE(panel.Function(FunctionKey::INS).Lit);
  EXPECT_FALSE(panel.Function(FunctionKey::A2).Lit);
  controller.kbankClick();
  EXPECT_EQ(panel.kbank.Caption, "25-48");
  EXPECT_FALSE(panel.kr[0].Lit);
  EXPECT_TRUE(panel.kr[5].Lit);
  EXPECT_EQ(panel.kr[5].Caption, "30");
  controller.kbankClick();
  controller.kbankClick();
  EXPECT_EQ(panel.kbank.Caption, "73-96");
  EXPECT_EQ(panel.kr[23].Caption, "96");
  EXPECT_TRUE(panel.kr[23].Lit);
  controller.kbankClick();
  EXPECT_EQ(panel.kbank.Caption, "1-24");
  EXPECT_EQ(panel.kr[0].Caption, "1");
  EXPECT_TRUE(panel.kr[0].Lit);
}

TEST(EditPresetReply, ShortAndOverlongRepliesStayInBounds) {
  MachineController controller;
  controller.SerialBTriggerAvail(Framed({0x70, 0x30}));  // no preset byte: nothing to store
  EXPECT_EQ(controller.Port().PresetByte, 0);
  controller.SerialBTriggerAvail(Framed({0x72, 0x30, 0x10, 0x04}));  // V and track 3 only
  EXPECT_EQ(controller.Port().PresetByte, 0x10);
  EXPECT_TRUE(controller.Panel().kr[2].Lit);
  EXPECT_TRUE(controller.Panel().Function(FunctionKey::V).Lit);
  // 15 data bytes: the two past track byte 12 are ignored, the record beyond is untouched.
  const int skipBefore = controller.Port().SkipReplies;
  controller.SerialBTriggerAvail(
      Framed({0x7F, 0x30, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x55, 0x66}));
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(controller.Port().TrackBytes[static_cast<std::size_t>(i)], i + 1);
  EXPECT_EQ(controller.Port().SkipReplies, skipBefore);
}

}  // namespace
