#include <gtest/gtest.h>

#include "ArmingKeys.h"

namespace {

using arming::FunctionKeys;
using arming::TrackBytes;

FunctionKeys Functions(bool assemble, bool insert) {
  FunctionKeys lit{};
  lit[arming::kAssembleKey] = assemble;
  lit[arming::kInsertKey] = insert;
  return lit;
}

TEST(ArmingKeys, InsertRulesOfBothPanels) {
  const TrackBytes none{};
  TrackBytes bank0{};
  bank0[2] = 0x80;  // track 24
  TrackBytes bank3{};
  bank3[11] = 0x01;  // track 89
  struct Case {
    const char* what;
    arming::InsertRule rule;
    bool assemble, insertBefore;
    uint8_t presetBefore;
    TrackBytes bytes;
    bool insert;
    uint8_t preset;
  };
  const arming::InsertRule vm = arming::kMachineInsertRule;
  const arming::InsertRule mc = arming::kControllerInsertRule;
  const Case cases[] = {
      {"vm: nothing armed", vm, false, true, 0x40, none, false, 0x00},
      {"vm: video", vm, false, false, 0x10, none, true, 0x50},
      {"vm: track 24", vm, false, false, 0x00, bank0, true, 0x40},
      {"vm: track 89", vm, false, false, 0x00, bank3, true, 0x40},
      {"vm: asm darkens", vm, true, true, 0x61, bank0, false, 0x21},
      {"mc: nothing armed keeps bit", mc, false, true, 0x40, none, false, 0x40},
      {"mc: video", mc, false, false, 0x10, none, true, 0x50},
      {"mc: track 24", mc, false, false, 0x00, bank0, true, 0x40},
      {"mc: track 89 does not count", mc, false, false, 0x00, bank3, false, 0x00},
      {"mc: asm keeps insert lit", mc, true, true, 0x20, none, true, 0x60},
      {"mc: asm keeps insert dark", mc, true, false, 0x21, bank0, false, 0x21},
  };
  for (const Case& c : cases) {
    uint8_t preset = c.presetBefore;
    EXPECT_EQ(
        arming::ApplyInsertRule(c.rule, Functions(c.assemble, c.insertBefore), preset, c.bytes),
        c.insert)
        << c.what;
    EXPECT_EQ(preset, c.preset) << c.what;
  }
}

TEST(ArmingKeys, BanksStoreTheirOwnBytesInKeyOrder) {
  TrackBytes bytes{};
  bytes.fill(0xA5);
  arming::TrackKeys lit{};
  lit[0] = lit[9] = lit[23] = true;
  arming::StoreBank(lit, 2, bytes);
  const TrackBytes expected = {0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5,
                               0x01, 0x02, 0x80, 0xA5, 0xA5, 0xA5};
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(arming::BankKeys(bytes, 2), lit);
  EXPECT_EQ(arming::BankKeys(bytes, 3)[0], true);
  EXPECT_EQ(arming::BankKeys(bytes, 3)[1], false);
}

TEST(ArmingKeys, BankCycleAndCaptions) {
  const char* const banks[] = {"25-48", "49-72", "73-96", "1-24"};
  int bank = 0;
  for (const char* caption : banks) {
    bank = arming::NextBank(bank);
    EXPECT_EQ(arming::BankCaption(bank), caption);
  }
  EXPECT_EQ(bank, 0);
  EXPECT_EQ(arming::TrackCaption(3, 23), "96");
  EXPECT_EQ(arming::BankOffset(3), 9);
}

TEST(ArmingKeys, PresetBitsFollowTheFunctionKeys) {
  FunctionKeys lit{};
  lit[0] = lit[4] = lit[arming::kAssembleKey] = lit[arming::kInsertKey] = true;
  EXPECT_EQ(arming::PresetFromKeys(lit), 0x31);  // INS's bit is the insert rule's
  EXPECT_EQ(arming::KeysFromPreset(0x71), lit);
  EXPECT_EQ(arming::KeysFromPreset(0x80), FunctionKeys{});
}

}  // namespace
