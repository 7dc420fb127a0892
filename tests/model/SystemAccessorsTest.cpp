// System accessors: decoding, configuration values, error texts and system blocks.
#include "ModelFixture.h"
#include "VyoModel.h"

using namespace modeltest;

namespace {

class SystemAccessorsTest : public ModelTest {};

uint8_t SysFlag(int i) { return Raw()[9103 + i]; }
void ClearSysFlags() { std::memset(Raw() + 9103, 0, 7); }

TEST_F(SystemAccessorsTest, SystemStatusIsDecodedOnlyWhenItChanges) {
  setZQ_Master(2);
  EXPECT_EQ(setZQ_SystemStatus(0x83), 1);  // in play, locked, standard 3
  EXPECT_EQ(getZQ_SystemInPlay(), 1);
  EXPECT_EQ(getZQ_SystemLocked(), 1);
  EXPECT_EQ(getZQ_SystemInLockedPlay(), 1);
  EXPECT_EQ(getZQ_SystemInRecord(), 0);
  EXPECT_EQ(getZQ_McnStandard(2), 3) << "the master's standard follows bits 0 and 1";
  EXPECT_EQ(setZQ_SystemStatus(0x78), 1);  // record, locating, local, unlocked
  EXPECT_EQ(getZQ_SystemLocked(), 0);
  EXPECT_EQ(getZQ_SystemInLockedPlay(), 0);
  EXPECT_EQ(getZQ_SystemInRecord(), 1);
  EXPECT_EQ(getZQ_SystemIsLocating(), 1);
  EXPECT_EQ(getZQ_SystemLocal(), 1);
  Raw()[9095] = 0;  // SystemInRecord
  EXPECT_EQ(setZQ_SystemStatus(0x78), 0);
  EXPECT_EQ(getZQ_SystemInRecord(), 0) << "an unchanged status recomputes nothing";
  EXPECT_EQ(SysFlag(0) + SysFlag(1) + SysFlag(2) + SysFlag(3), 1) << "only Master raised a flag";
}

TEST_F(SystemAccessorsTest, ConfigurationValuesRaiseSystemFlag3) {
  setZQ_VMajor(2);
  EXPECT_EQ(SysFlag(3), 1);
  ClearSysFlags();
  setZQ_VMajor(2);
  EXPECT_EQ(SysFlag(3), 0);
  EXPECT_EQ(setZQ_MaxMachine(4), 0) << "always 0";
  EXPECT_EQ(getZQ_MaxMachine(), 4);
  EXPECT_EQ(SysFlag(3), 1);
  EXPECT_EQ(setZQ_MaxMachine(36), 0);
  EXPECT_EQ(getZQ_MaxMachine(), 4) << "not a machine number";
  EXPECT_EQ(setZQ_Master(36), 0);
  EXPECT_EQ(setZQ_SelectedMcn(-2), 0);
  EXPECT_EQ(setZQ_SelectedMcn(3), 1);
  EXPECT_EQ(setZQ_SelectedMcn(3), 0);
  EXPECT_EQ(getZQ_SelectedMcn(), 3);
  ClearSysFlags();
  setZQ_RecordBank(9);
  EXPECT_EQ(SysFlag(2), 1);
  EXPECT_EQ(setZQ_Error(4), 1);
  EXPECT_EQ(setZQ_Error(4), 0);
  EXPECT_EQ(SysFlag(0) + SysFlag(1) + SysFlag(3), 0) << "Error raises no flag";
}

TEST_F(SystemAccessorsTest, ReadyKeyLengthIsCountedInKeysOfEight) {
  EXPECT_EQ(setZQ_RdyKeyLength(3), 1);
  EXPECT_EQ(getZQ_RdyKeyLength(), 24);
  setZQ_RdyKeyLength(16);
  EXPECT_EQ(getZQ_RdyKeyLength(), 16);
  setZQ_RdyKeyLength(33);
  EXPECT_EQ(getZQ_RdyKeyLength(), 8) << "33 x 8 modulo 256";
  ClearSysFlags();
  EXPECT_EQ(setZQ_RdyKeyLength(1), 0) << "1 means 8, already stored";
  EXPECT_EQ(SysFlag(3), 0);
}

TEST_F(SystemAccessorsTest, UnconditionalStores) {
  setZQ_WindMax(7, 8, 9);
  EXPECT_EQ(getZQ_WindMax(), 7);
  EXPECT_EQ(getZQ_macroflag1(), 8);
  EXPECT_EQ(getZQ_macroflag2(), 9);
  setZQ_WindMax1(3);
  EXPECT_EQ(getZQ_WindMax(), 3);
  EXPECT_EQ(getZQ_macroflag1(), 8);
  setZQ_Editmode(2);
  EXPECT_EQ(getZQ_Editmode(), 2);
  setZQ_SystemRdyLength(12);
  EXPECT_EQ(getZQ_SystemRdyLength(), 12);
  EXPECT_EQ(Raw()[8737 + 3], 12);
  setZQ_InternalChange(5);
  EXPECT_EQ(getZQ_InternalChange(), 5);
  EXPECT_EQ(getZQ_InternalChange(), 0) << "reading clears it";
  for (int i = 0; i < 7; ++i) EXPECT_EQ(SysFlag(i), 0);
}

TEST_F(SystemAccessorsTest, ErrorTextsIncludingBlanksAndUnknownCodes) {
  uint8_t text[256];
  char chars[20];
  const struct {
    uint8_t code;
    const char* text;
  } cases[] = {{0, "System OK"},           {29, "Mcn Record Asigned"},
               {36, " Reset to Factory "}, {46, "! TX-9 Port       "},
               {47, "Unknown Error : 47"}, {255, "Unknown Error : 255"}};
  for (const auto& c : cases) {
    setZQ_Error(c.code);
    getZQ_ErrorString(text);
    EXPECT_EQ(FromLengthPrefixed(text), c.text);
    getZQ_ErrorPChar(chars);
    EXPECT_STREQ(chars, c.text);
  }
}

TEST_F(SystemAccessorsTest, UnitDataRaisesFlag3OnlyAtIndex24) {
  uint8_t bytes[128] = {1, 2, 3};
  uint8_t* buffer = bytes;
  setZQ_UnitData(&buffer, 0, 23, 3);
  EXPECT_EQ(SysFlag(3), 0);
  EXPECT_EQ(Raw()[8865], 26) << "UnitDataLength := destination index + count";
  setZQ_UnitData(&buffer, 0, 24, 3);
  EXPECT_EQ(SysFlag(3), 1);
  setZQ_UnitData(&buffer, 0, 126, 3);  // runs past 128
  EXPECT_EQ(Raw()[8865], 27) << "refused whole";
}

TEST_F(SystemAccessorsTest, LogicalFlagTellsWhetherTheLastWriteChangedAnything) {
  uint8_t bytes[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  uint8_t* buffer = bytes;
  setZQ_LogicalReady(&buffer, 0, 0, 12);
  EXPECT_EQ(SysFlag(5), 1);
  setZQ_LogicalReady(&buffer, 0, 0, 12);
  EXPECT_EQ(SysFlag(5), 0) << "an unchanged write clears a pending flag 5";
  setZQ_LogicalRecord(&buffer, 0, 11, 1);
  EXPECT_EQ(SysFlag(5), 1);
  setZQ_LogicalRecord(&buffer, 0, 11, 2);  // past 12
  EXPECT_EQ(SysFlag(5), 1) << "a refused write leaves the flag";

  uint8_t out[12] = {};
  uint8_t* outBuffer = out;
  getZQ_LogicalReady(&outBuffer, 2, 0, 10);
  EXPECT_EQ(out[0], 3);
  EXPECT_EQ(out[9], 12);

  setZQ_TrackMap(&buffer, 0, 180, 12);
  EXPECT_EQ(Raw()[9082], 192);
  EXPECT_EQ(SysFlag(4), 1);
  ClearSysFlags();
  setZQ_TrackMap(&buffer, 0, 180, 12);
  EXPECT_EQ(SysFlag(4), 1) << "raised on every call";
}

}  // namespace
