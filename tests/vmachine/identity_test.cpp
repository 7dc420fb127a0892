// Who the virtual machine claims to be: identities, "Enter ID", standards, unit number and tracks.
#include <gtest/gtest.h>

#include "VmTestSupport.h"

namespace {

// The name a controller gives the device-type reply.
std::string NameOfReply(VirtualMachine& vm, bool dropFrame) {
  const Bytes reply = Send(vm, {0x00, 0x11});
  SonyMessage message;
  std::copy(reply.begin(), reply.end(), message.bytes.begin());
  return DeviceTypeName(message, dropFrame);
}

TEST(Identity, EveryIdentityUnderEveryStandardIsNamed) {
  const char* names[kMachineTypes] = {
      "DA-88",  "BVU-950",    "PCM-3348HRV", "Gallery",  "NuendoTM",   "Pro-Tools",
      "BONSAI", "AVID A/V 4", "ZQ V.Mcn",    "Merging",  "ZQ Kestrel", "MMR-8",
      "MX2424", "X-Dubber",   "DVW-A500",    "SRW-5000", nullptr};
  // Standard code, suffix, and the drop-frame flag a controller has from the time replies.
  const std::tuple<uint8_t, const char*, bool> standards[] = {
      {0, " PAL", false}, {1, " NTSC nd", false}, {2, " Film", false}, {3, " NTSC d", true}};
  for (int type = 0; type < kMachineTypes; ++type) {
    for (const auto& [standard, suffix, dropFrame] : standards) {
      VirtualMachine vm = StartedMachine(type, standard);
      // The clip server's F8 has no name, and its low nibble (8, 9 or A) no standard text.
      const std::string expected = names[type] != nullptr ? std::string(names[type]) + suffix
                                   : standard == 0        ? "$F94D"
                                   : standard == 2        ? "$FA4D"
                                                          : "$F84D";
      EXPECT_EQ(NameOfReply(vm, dropFrame), expected) << type << " " << int(standard);
    }
  }
}

TEST(Identity, UnitNumberAndTracksCombine) {
  VirtualMachine vm = StartedMachine(0, 0);
  EXPECT_TRUE(vm.None1Click(2));
  EXPECT_EQ(NameOfReply(vm, false), "DA-88B PAL");
  EXPECT_TRUE(vm.Normal1Click(48));
  EXPECT_EQ(vm.UnitTracksByte(), 0x32);
  EXPECT_EQ(vm.Panel().mcnNoChecked, 2);
  EXPECT_EQ(vm.Panel().tracksChecked, 48);
  vm.N24P1Click(1);
  EXPECT_EQ(Send(vm, {0x00, 0x11}), Reply({0x13, 0x11, 0xF0, 0x1D, 0x32}));
  EXPECT_FALSE(vm.Normal1Click(20));
  EXPECT_FALSE(vm.None1Click(5));
  EXPECT_EQ(vm.UnitTracksByte(), 0x32);
}

TEST(Identity, RestoredUnitTracksByteCombinesWithZeroOnTheFirstChoice) {
  VirtualMachine vm;
  vm.RestoreSettings({0, 0, 0x32, false});
  vm.FormShow();
  EXPECT_EQ(vm.UnitTracksByte(), 0x32);
  EXPECT_EQ(vm.Panel().mcnNoChecked, kNoItem);
  EXPECT_EQ(vm.Panel().tracksChecked, 0);
  vm.None1Click(1);
  EXPECT_EQ(vm.UnitTracksByte(), 0x01);
}

TEST(Identity, ChoosingAnIdentity) {
  VirtualMachine vm = StartedMachine(0, 1);
  Send(vm, {0x80, 0x01});  // clears the start-up flag
  EXPECT_FALSE(vm.DA881Click(0));
  EXPECT_TRUE(vm.DA881Click(16));
  EXPECT_TRUE(vm.Panel().clipPanelsVisible);
  EXPECT_EQ(vm.Panel().machineChecked, 16);
  EXPECT_EQ(vm.Settings().MachineType, 16);
  EXPECT_EQ(Send(vm, {0x80, 0x01}).at(7), 0x01);
  EXPECT_TRUE(vm.DA881Click(11));
  EXPECT_FALSE(vm.Panel().clipPanelsVisible);
  EXPECT_TRUE(vm.Settings().ExtendedIdReply);
  EXPECT_FALSE(vm.DA881Click(17));
  EXPECT_FALSE(vm.DA881Click(-1));
  EXPECT_EQ(vm.MachineType(), 11);
}

TEST(Identity, EnterIdTakesDecimalOrDollarHex) {
  const std::pair<const char*, std::array<uint8_t, 2>> cases[] = {
      {"4660", {0x12, 0x34}},   {"$1234", {0x12, 0x34}},   {"$12345", {0x23, 0x45}},
      {"-1", {0x00, 0xFF}},     {" $f01d ", {0xF0, 0x1D}}, {"-257", {0xFF, 0xFF}},
      {"0xF02E", {0xF0, 0x2E}}, {"0Xf02e", {0xF0, 0x2E}}};
  for (const auto& [text, id] : cases) {
    VirtualMachine vm = StartedMachine(5, 1);
    EXPECT_EQ(vm.EnterID1Click(std::string(text)), std::nullopt) << text;
    EXPECT_EQ(vm.Port().DeviceId, id) << text;
    EXPECT_EQ(vm.Panel().machineChecked, kEnterIdItem);
  }
}

TEST(Identity, EnterIdRejectsWhatIsNotAWholeNumber) {
  for (const char* text : {"", "abc", "12x", "$", "$G1", "1.5", "99999999999", "$123456789",
                           "F0 2E", "0x", "0x-1", "$0x12"}) {
    VirtualMachine vm = StartedMachine(11, 1);
    const std::optional<std::string> error = vm.EnterID1Click(std::string(text));
    ASSERT_TRUE(error.has_value()) << text;
    EXPECT_EQ(*error, "'" + std::string(text) +
                          "' is not a valid whole number: enter it in decimal (61486) or in "
                          "hexadecimal after $ or 0x ($F02E, 0xF02E)");
    EXPECT_EQ(vm.Port().DeviceId, (std::array<uint8_t, 2>{0x1A, 0xC1}));
    EXPECT_EQ(vm.Panel().machineChecked, 11);
    EXPECT_TRUE(vm.ExtendedIdReply());
  }
}

TEST(Identity, CancelledEnterIdKeepsTheIdButLeavesTheFourByteForm) {
  VirtualMachine vm = StartedMachine(11, 1);
  EXPECT_EQ(vm.EnterIdInitialText(), "$1AC1");
  EXPECT_EQ(Send(vm, {0x00, 0x11}), Reply({0x14, 0x11, 0xF0, 0x1A, 0x00, 0xC1}));
  EXPECT_EQ(vm.EnterID1Click(std::nullopt), std::nullopt);
  EXPECT_EQ(Send(vm, {0x00, 0x11}), Reply({0x12, 0x11, 0x1A, 0xC1}));
  // The identity that is still chosen does nothing; another and back restores its own ID.
  EXPECT_FALSE(vm.DA881Click(11));
  EXPECT_EQ(vm.Panel().machineChecked, kEnterIdItem);
  vm.DA881Click(0);
  vm.DA881Click(11);
  EXPECT_EQ(Send(vm, {0x00, 0x11}), Reply({0x14, 0x11, 0xF0, 0x1A, 0x00, 0xC1}));
}

TEST(Identity, StandardsSetPanelTextAndTimer) {
  VirtualMachine vm = StartedMachine();
  const std::tuple<int, const char*, int> standards[] = {
      {2, "24P", 65}, {0, "EBU", 60}, {1, "SMPTE", 45}, {3, "Drop", 45}};
  for (const auto& [tag, text, interval] : standards) {
    EXPECT_TRUE(vm.N24P1Click(tag));
    EXPECT_EQ(vm.Panel().standardChecked, tag);
    EXPECT_EQ(vm.Panel().standardPanelText, text);
    EXPECT_EQ(vm.Panel().timer1IntervalMs, interval);
    EXPECT_EQ(vm.Settings().Standard, tag);
  }
  EXPECT_TRUE(vm.N24P1Click(3));  // the same standard again still asks for a save
  EXPECT_FALSE(vm.N24P1Click(4));
  EXPECT_EQ(vm.Port().Standard, 3);
}

TEST(Identity, SettingsRoundTripAndDamagedValues) {
  VirtualMachine vm;
  vm.RestoreSettings({9, 40, 0, true});
  vm.FormShow();
  EXPECT_EQ(vm.Port().Standard, 3);
  EXPECT_EQ(vm.Panel().standardPanelText, "Drop");
  EXPECT_EQ(vm.Port().DeviceId, (std::array<uint8_t, 2>{0x00, 0x00}));
  EXPECT_FALSE(vm.ExtendedIdReply());
  EXPECT_EQ(vm.Port().ChangeFlags, 1);
  EXPECT_EQ(vm.Clips().LoadId(), "CamA/00");

  VirtualMachine restored = StartedMachine(12, 2);
  const VmSettings settings = restored.Settings();
  EXPECT_EQ(settings.Standard, 2);
  EXPECT_EQ(settings.MachineType, 12);
  EXPECT_TRUE(settings.ExtendedIdReply);
  EXPECT_EQ(Send(restored, {0x00, 0x11}), Reply({0x14, 0x11, 0xF2, 0x1A, 0x00, 0xC4}));
}

}  // namespace
