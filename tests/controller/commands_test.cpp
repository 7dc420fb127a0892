// Commands queued from the panel's keys and what a tick sends for them.
#include <gtest/gtest.h>

#include "ControllerTestBytes.h"
#include "MachineController.h"

namespace {

std::vector<Bytes> Tick(MachineController& controller, bool open = true) {
  return controller.FrameTick(open);
}

TEST(TransportCommands, EachKeySendsItsCommand) {
  const std::pair<int, Bytes> keys[] = {{MachineController::kTagStop, Framed({0x20, 0x00})},
                                        {MachineController::kTagPlay, Framed({0x20, 0x01})},
                                        {MachineController::kTagFastForward, Framed({0x20, 0x10})},
                                        {MachineController::kTagRewind, Framed({0x20, 0x20})},
                                        {MachineController::kTagEditOff, Framed({0x20, 0x64})},
                                        {MachineController::kTagEditOn, Framed({0x20, 0x65})}};
  for (const auto& [tag, expected] : keys) {
    MachineController controller;
    controller.kplayClick(tag);
    EXPECT_EQ(Tick(controller), std::vector<Bytes>{expected}) << tag;
  }
  MachineController controller;
  controller.krvsplayClick();
  EXPECT_EQ(Tick(controller), std::vector<Bytes>{Framed({0x21, 0x22, 0x40})});
  controller.SerialBTriggerAvail(kAck);
  controller.ZQVersion1Click();
  EXPECT_EQ(Tick(controller), std::vector<Bytes>{Framed({0x00, 0xB3})});
}

TEST(GotoCommands, KeypadResultAndClipboard) {
  MachineController controller;
  KeypadU keypad;
  keypad.FormShow();
  keypad.SetEntryText("01:02:03:04");
  keypad.BitBtn1Click();
  controller.kgotoClick(keypad);
  EXPECT_FALSE(controller.Port().CommandPending);  // aborted: nothing queued
  EXPECT_EQ(Tick(controller), std::vector<Bytes>{kTimeSense});

  keypad.FormShow();
  keypad.SetEntryText("01:02:03:04");
  ASSERT_TRUE(keypad.kokClick());
  controller.kgotoClick(keypad);
  controller.SerialBTriggerAvail(kAck);
  EXPECT_EQ(Tick(controller), std::vector<Bytes>{Framed({0x24, 0x31, 0x04, 0x03, 0x02, 0x01})});

  controller.GotoClipboard1Click("locate 10:20:30:11 please");
  controller.SerialBTriggerAvail(kAck);
  EXPECT_EQ(Tick(controller), std::vector<Bytes>{Framed({0x24, 0x31, 0x11, 0x30, 0x20, 0x10})});
}

// The keypad accepts frames up to 29 whatever the machine counts in; a locate must carry the
// typed digits, not fall back to midnight because 28 frames do not exist at 25 per second.
TEST(GotoCommands, FramesAbove24ReachTheMachineAsTyped) {
  for (bool dropFrame : {false, true}) {
    MachineController controller;
    controller.SerialBTriggerAvail(
        Framed({0x74, 0x04, dropFrame ? uint8_t{0x40} : uint8_t{0x00}, 0, 0, 0}));
    ASSERT_EQ(controller.Port().DropFrame, dropFrame);
    controller.GotoClipboard1Click("01:00:00:28");
    EXPECT_EQ(Tick(controller), std::vector<Bytes>{Framed({0x24, 0x31, 0x28, 0x00, 0x00, 0x01})})
        << "drop-frame " << dropFrame;
    controller.SerialBTriggerAvail(kAck);
    KeypadU keypad;
    keypad.FormShow();
    keypad.SetEntryText("23:59:59:29");
    ASSERT_TRUE(keypad.kokClick());
    controller.kgotoClick(keypad);
    EXPECT_EQ(Tick(controller), std::vector<Bytes>{Framed({0x24, 0x31, 0x29, 0x59, 0x59, 0x23})})
        << "drop-frame " << dropFrame;
  }
}

TEST(TrackCommands, Track30InBankOne) {
  MachineController controller;
  controller.kbankClick();
  controller.kr1Click(6);
  EXPECT_EQ(controller.Port().TrackBytes[3], 0x20);
  EXPECT_EQ(controller.Port().SkipReplies, 5);
  // Tracks 25 and above do not make an insert.
  EXPECT_FALSE(controller.Panel().Function(FunctionKey::INS).Lit);
  EXPECT_EQ(Tick(controller),
            std::vector<Bytes>{Framed({0x4D, 0x30, 0x00, 0, 0, 0, 0x20, 0, 0, 0, 0, 0, 0, 0, 0})});
}

TEST(TrackCommands, InsertFollowsTracksOneTo24AndAudioVideo) {
  MachineController controller;
  const MachineControlPanel& panel = controller.Panel();
  controller.kr1Click(24);
  EXPECT_TRUE(panel.Function(FunctionKey::INS).Lit);
  EXPECT_EQ(controller.Port().PresetByte, 0x40);
  EXPECT_EQ(controller.Port().TrackBytes[2], 0x80);
  controller.kbankClick();  // bank 25-48: tracks 1..24 still count
  controller.ka1Click(FunctionKey::INS);
  EXPECT_TRUE(panel.Function(FunctionKey::INS).Lit);  // recomputed at once
  controller.kbankClick();
  controller.kbankClick();
  controller.kbankClick();
  controller.kr1Click(24);  // disarm track 24
  EXPECT_FALSE(panel.Function(FunctionKey::INS).Lit);
  controller.ka1Click(FunctionKey::V);
  EXPECT_TRUE(panel.Function(FunctionKey::INS).Lit);
  EXPECT_EQ(controller.Port().PresetByte, 0x50);
  EXPECT_EQ(controller.Port().Tx[2], 0x50);
}

TEST(TrackCommands, AssembleLeavesInsertAlone) {
  MachineController controller;
  const MachineControlPanel& panel = controller.Panel();
  controller.ka1Click(FunctionKey::ASM);
  EXPECT_FALSE(panel.Function(FunctionKey::INS).Lit);
  controller.kr1Click(1);
  EXPECT_FALSE(panel.Function(FunctionKey::INS).Lit);
  EXPECT_EQ(controller.Port().PresetByte, 0x20);
  controller.ka1Click(FunctionKey::INS);  // with ASM lit the user's INS stands
  EXPECT_TRUE(panel.Function(FunctionKey::INS).Lit);
  EXPECT_EQ(controller.Port().PresetByte, 0x60);
  controller.kr1Click(0);  // no such key
  controller.kr1Click(25);
  EXPECT_EQ(controller.Port().TrackBytes[0], 0x01);
}

TEST(TrackCommands, EditOnFollowsTrackArmingWhenChecked) {
  MachineController controller;
  controller.keditonClick(true);
  controller.kr1Click(2);
  const Bytes preset = Framed({0x4D, 0x30, 0x40, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  const Bytes editOn = {0x20, 0x65, 0x85};
  EXPECT_EQ(Tick(controller), (std::vector<Bytes>{preset, editOn}));
  // While the countdown runs the EDIT ON goes out alone, ahead of the queued preset.
  controller.kr1Click(3);
  EXPECT_EQ(Tick(controller), std::vector<Bytes>{editOn});
  controller.keditonClick(false);
  controller.kr1Click(3);
  EXPECT_FALSE(controller.Port().EditOnPending);
}

TEST(TrackCommands, PendingEditOnIsDroppedWhilePortBIsClosed) {
  MachineController controller;
  controller.keditonClick(true);
  controller.kr1Click(1);
  EXPECT_TRUE(Tick(controller, false).empty());
  EXPECT_FALSE(controller.Port().EditOnPending);
  const std::vector<Bytes> writes = Tick(controller);  // reopened: only the queued preset
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0][0], 0x4D);
}

TEST(CopyTimecode, CopiesWhatIsShown) {
  MachineController controller;
  EXPECT_EQ(controller.bpozClick(), "__:__:__:__");
  controller.SerialBTriggerAvail(Framed({0x74, 0x04, 0x05, 0x04, 0x03, 0x02}));
  EXPECT_EQ(controller.bpozClick(), "02:03:04:05");
}

}  // namespace
