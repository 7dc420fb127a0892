// End to end: the controller drives the virtual machine through a byte pipe, tick by tick, and
// its panel shows what a user would see.
#include "BackToBack.h"

#include <gtest/gtest.h>

#include <string>

#include "TimecodeCalls.h"

namespace {

constexpr int kFullCycle = 16;  // enough ticks for every request of the cycle, device type included

// The names the identities of the "Mcn" menu are known by; empty where the table has none.
const char* const kIdentityNames[kMachineTypes] = {
    "DA-88",      "BVU-950", "PCM-3348HRV", "Gallery",  "NuendoTM",
    "Pro-Tools",  "BONSAI",  "AVID A/V 4",  "ZQ V.Mcn", "Merging",
    "ZQ Kestrel", "MMR-8",   "MX2424",      "X-Dubber", "DVW-A500",
    "SRW-5000",   ""};

std::string ExpectedName(int machineType, uint8_t standard) {
  if (machineType == kClipServerMachineType) {
    const char* const fallback[] = {"$F94D", "$F84D", "$FA4D", "$F84D"};
    return fallback[standard];
  }
  const char* const suffix[] = {" PAL", " NTSC nd", " Film", " NTSC d"};
  return std::string(kIdentityNames[machineType]) + suffix[standard];
}

TEST(BackToBack, ShowsTheNameOfEveryIdentityInEveryStandard) {
  for (int machineType = 0; machineType < kMachineTypes; ++machineType) {
    for (uint8_t standard = 0; standard < 4; ++standard) {
      BackToBack pair(standard, machineType);
      pair.Ticks(kFullCycle);
      EXPECT_EQ(pair.controller.Panel().name, ExpectedName(machineType, standard))
          << "identity " << machineType << " standard " << int(standard);
    }
  }
}

TEST(BackToBack, TimeCodeAdvancesOneFramePerTickInPlay) {
  for (uint8_t standard = 0; standard < 4; ++standard) {
    BackToBack pair(standard);
    pair.controller.kplayClick(MachineController::kTagPlay);
    pair.Ticks(3);
    int lastTick = -1;
    int32_t lastFrames = 0;
    int samples = 0;
    std::string shown = pair.controller.Panel().bpoz;
    for (int tick = 0; tick < 40; ++tick) {
      pair.Tick();
      if (pair.controller.Panel().bpoz == shown) continue;
      shown = pair.controller.Panel().bpoz;
      std::string label = shown;  // drop-frame shows ";" throughout; the library wants ":"
      for (char& c : label) c = c == ';' ? ':' : c;
      const int32_t frames = timecode_calls::TextToFrames(label, standard);
      if (lastTick >= 0) {
        EXPECT_EQ(frames - lastFrames, tick - lastTick) << shown << " standard " << int(standard);
        ++samples;
      }
      lastTick = tick;
      lastFrames = frames;
    }
    EXPECT_GE(samples, 15) << "the time code must be polled every other tick";
    EXPECT_TRUE(pair.controller.Panel().kplay.Lit);
  }
}

TEST(BackToBack, TransportLampsFollowTheKeys) {
  BackToBack pair;
  const MachineControlPanel& panel = pair.controller.Panel();
  struct Step {
    int tag;
    const PanelLamp* lit;
  };
  const Step steps[] = {{MachineController::kTagPlay, &panel.kplay},
                        {MachineController::kTagFastForward, &panel.kfwd},
                        {MachineController::kTagRewind, &panel.krwd},
                        {MachineController::kTagStop, &panel.kstop},
                        {MachineController::kTagPlay, &panel.kplay}};
  const PanelLamp* transport[] = {&panel.kstop, &panel.kplay, &panel.kfwd, &panel.krwd};
  for (const Step& step : steps) {
    pair.controller.kplayClick(step.tag);
    pair.Ticks(kFullCycle);
    for (const PanelLamp* lamp : transport) EXPECT_EQ(lamp->Lit, lamp == step.lit) << step.tag;
    EXPECT_TRUE(panel.kremote.Lit);
    EXPECT_EQ(panel.kremote.Caption, "remote");
  }
  // EDIT ON while playing: the machine reports editing.
  pair.controller.kplayClick(MachineController::kTagEditOn);
  pair.Ticks(kFullCycle);
  EXPECT_TRUE(panel.kedit.Lit);
  EXPECT_FALSE(panel.koff.Lit);
  // Reverse play reports a variable-speed mode: no forward transport lamp stays lit.
  pair.controller.krvsplayClick();
  pair.Ticks(kFullCycle);
  for (const PanelLamp* lamp : transport) EXPECT_FALSE(lamp->Lit);
  EXPECT_LT(pair.vm.Speed(), 0);
}

TEST(BackToBack, GotoFromTheKeypadCuesTheMachine) {
  BackToBack pair;
  KeypadU keypad;
  keypad.FormShow();
  keypad.KResetClick();
  for (int digit : {0, 1, 1, 0, 0, 0, 0, 5}) keypad.k0Click(digit);
  ASSERT_TRUE(keypad.kokClick());
  pair.controller.kgotoClick(keypad);
  pair.Ticks(kFullCycle);
  EXPECT_EQ(pair.vm.Port().Position, timecode_calls::TextToFrames("01:10:00:05", 0));
  EXPECT_EQ(pair.controller.Panel().bpoz, "01:10:00:05");
  EXPECT_TRUE(pair.controller.Panel().kcued.Lit);
  EXPECT_TRUE(pair.controller.Panel().kstop.Lit);

  pair.controller.GotoClipboard1Click("00:00:42:00");
  pair.Ticks(kFullCycle);
  EXPECT_EQ(pair.controller.Panel().bpoz, "00:00:42:00");
}

TEST(BackToBack, TrackArmingLightsTheMachinesKeys) {
  BackToBack pair;
  pair.controller.kr1Click(3);
  pair.Ticks(kFullCycle);
  const VmPanel& vmPanel = pair.vm.Panel();
  EXPECT_EQ(vmPanel.rr[2], kLampLit);
  EXPECT_EQ(vmPanel.ra[kFunctionInsert], kLampLit);
  EXPECT_EQ(pair.vm.VmTrackBytes()[0], 0x04);

  pair.controller.kbankClick();
  pair.controller.kr1Click(6);  // track 30
  pair.Ticks(kFullCycle);
  EXPECT_EQ(pair.vm.VmTrackBytes()[3], 0x20);
  pair.vm.bankClick();
  EXPECT_EQ(pair.vm.Panel().rr[5], kLampLit);

  // The machine's edit preset, read back by the controller's poll, relights the same keys.
  EXPECT_TRUE(pair.controller.Panel().kr[5].Lit);
  EXPECT_TRUE(pair.controller.Panel().Function(FunctionKey::INS).Lit);

  pair.controller.ka1Click(FunctionKey::ASM);
  pair.Ticks(kFullCycle);
  EXPECT_EQ(pair.vm.Panel().ra[kFunctionAssemble], kLampLit);
}

}  // namespace
