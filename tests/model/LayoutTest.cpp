// Every field written through its setter lands at its documented offset of the shared block.
#include "ModelFixture.h"
#include "VyoModel.h"

using namespace modeltest;

namespace {

class LayoutTest : public ModelTest {};

constexpr int kM = 3;  // a machine in the middle of the records

TEST_F(LayoutTest, MachineScalarsSitAtTheirRecordOffsets) {
  setZQ_McnTally(kM, 0x11);
  setZQ_McnStatus1(kM, 0x21);
  setZQ_McnStatus2(kM, 0x07);
  setZQ_McnStatus3(kM, 0x09);
  setZQ_McnStatus4(kM, 0x0C);
  setZQ_McnPosition(kM, 0x01020304);
  setZQ_McnOffset(kM, -2);
  setZQ_McnSubFrameOffset(kM, 0x16);
  setZQ_McnSyncPoint(kM, 0x20212223);
  setZQ_McnRecInPoint(kM, 0x24252627);
  setZQ_McnRecOutPoint(kM, 0x28292A2B);
  setZQ_McnSyncError(kM, 0x32);
  setZQ_McnSonyID(kM, 0x20E0);
  setZQ_McnRecordTracks(kM, 0x36);
  setZQ_McnTrackArming(kM, 0, 0x37);
  setZQ_McnTrackArming(kM, 14, 0x51);
  setZQ_McnDataOK(kM);

  EXPECT_EQ(Raw()[McnAt(kM, 0)], 0x11);
  EXPECT_EQ(Raw()[McnAt(kM, 1)], 0x21);
  EXPECT_EQ(Raw()[McnAt(kM, 2)], 0x07);
  EXPECT_EQ(Raw()[McnAt(kM, 3)], 0x09);
  EXPECT_EQ(Raw()[McnAt(kM, 4)], 0x0C);
  EXPECT_EQ(RawAt<int32_t>(McnAt(kM, 8)), 0x01020304);
  EXPECT_EQ(Raw()[McnAt(kM, 8)], 0x04) << "little-endian";
  EXPECT_EQ(RawAt<int32_t>(McnAt(kM, 12)), -2);
  EXPECT_EQ(Raw()[McnAt(kM, 16)], 0x16);
  EXPECT_EQ(RawAt<int32_t>(McnAt(kM, 20)), 0x20212223);
  EXPECT_EQ(RawAt<int32_t>(McnAt(kM, 24)), 0x24252627);
  EXPECT_EQ(RawAt<int32_t>(McnAt(kM, 28)), 0x28292A2B);
  EXPECT_EQ(Raw()[McnAt(kM, 32)], 0x32);
  EXPECT_EQ(RawAt<uint16_t>(McnAt(kM, 34)), 0x20E0);
  EXPECT_EQ(Raw()[McnAt(kM, 36)], 0x36);
  EXPECT_EQ(Raw()[McnAt(kM, 37)], 0x37);
  EXPECT_EQ(Raw()[McnAt(kM, 51)], 0x51);
  EXPECT_EQ(Raw()[McnAt(kM, 93)], 1) << "DataOK";
}

TEST_F(LayoutTest, DerivedMachineFlagsSitAtTheirRecordOffsets) {
  setZQ_McnTally(kM, 2);
  setZQ_McnStatus1(kM, 0x38);  // record, armed, locating; locked
  setZQ_McnStatus2(kM, 0x87);  // slow, tape status 7
  setZQ_McnStatus3(kM, 0x09);  // record enabled, chasing
  setZQ_McnStatus4(kM, 0x0C);  // standard 3
  setZQ_McnPosition(kM, 25);   // not playing, tally 2: ZFrame
  EXPECT_EQ(Raw()[McnAt(kM, 81)], 0) << "InPlay";
  EXPECT_EQ(Raw()[McnAt(kM, 82)], 1) << "IsSlow";
  EXPECT_EQ(Raw()[McnAt(kM, 83)], 1) << "IsLocked";
  EXPECT_EQ(Raw()[McnAt(kM, 84)], 1) << "IsChasing";
  EXPECT_EQ(Raw()[McnAt(kM, 85)], 1) << "InRecord";
  EXPECT_EQ(Raw()[McnAt(kM, 86)], 1) << "IsArmed";
  EXPECT_EQ(Raw()[McnAt(kM, 87)], 1) << "IsLocating";
  EXPECT_EQ(Raw()[McnAt(kM, 88)], 1) << "IsRecordEnabled";
  EXPECT_EQ(Raw()[McnAt(kM, 89)], 7) << "TapeStatus";
  EXPECT_EQ(Raw()[McnAt(kM, 90)], 3) << "Standard";
  EXPECT_EQ(Raw()[McnAt(kM, 92)], 1) << "NoComms";
  EXPECT_EQ(Raw()[McnAt(kM, 94)], 1) << "ZFrame";
  EXPECT_EQ(Raw()[McnAt(kM, 95)], 1) << "flag 1";
  EXPECT_EQ(Raw()[McnAt(kM, 97)], 1) << "flag 3";
  EXPECT_EQ(Raw()[McnAt(kM, 96)], 0) << "flag 2 not raised";
}

TEST_F(LayoutTest, NamesBlocksAndCursorSitAtTheirRecordOffsets) {
  const auto name = LengthPrefixed("BVW75");
  setZQ_McnIDName(kM, name.data());
  setZQ_McnAlias(kM, "ED");
  uint8_t bytes[128];
  for (int i = 0; i < 128; ++i) bytes[i] = uint8_t(0x80 + i);
  uint8_t* buffer = bytes;
  setZQ_McnTrackRecordP(kM, &buffer, 0, 0, 15);
  setZQ_McnIFaceData(kM, &buffer, 0, 0, 128);
  EXPECT_EQ(Raw()[McnAt(kM, 67)], 5);
  EXPECT_EQ(std::memcmp(&Raw()[McnAt(kM, 68)], "BVW75", 5), 0);
  EXPECT_EQ(Raw()[McnAt(kM, 74)], 2);
  EXPECT_EQ(std::memcmp(&Raw()[McnAt(kM, 75)], "ED", 2), 0);
  EXPECT_EQ(Raw()[McnAt(kM, 52)], 0x80);
  EXPECT_EQ(Raw()[McnAt(kM, 66)], 0x8E);
  EXPECT_EQ(Raw()[McnAt(kM, 104)], 0x80);
  EXPECT_EQ(Raw()[McnAt(kM, 231)], 0xFF);
  EXPECT_EQ(Raw()[McnAt(kM, 232)], 128) << "IFaceDataLength";
  EXPECT_EQ(Raw()[McnAt(kM, 96)], 1) << "flag 2 at 96";
  // The generator's record is the first, machine 35's the last.
  setZQ_McnTally(-1, 0xA1);
  setZQ_McnTally(35, 0xA2);
  EXPECT_EQ(Raw()[0], 0xA1);
  EXPECT_EQ(Raw()[236 * 36], 0xA2);
}

TEST_F(LayoutTest, SystemScalarsSitAtTheirOffsets) {
  setZQ_Master(-1);  // already 0 -> stored
  setZQ_Error(0x2E);
  setZQ_SelectedMcn(5);
  setZQ_SystemStatus(0xB8);
  setZQ_RecordBank(0x0C);
  setZQ_MaxMachine(7);
  setZQ_VMajor(3);
  setZQ_VMinor(4);
  setZQ_SystemType(5);
  setZQ_RdyKeyLength(16);
  setZQ_UnitDataSize(0x41);
  setZQ_IFaceDataSize(0x42);
  setZQ_LogicalDataSize(0x43);
  setZQ_MacroDataSize(0x44);
  setZQ_LastChange(0x45);
  setZQ_InternalChange(0x46);
  for (int i = 0; i < 7; ++i) IncStopCounter();
  setZQ_WindMax(0x47, 0x48, 0x49);
  setZQ_Editmode(4);
  setZQ_McnOffset(1, 5);  // raises OffsetChange

  EXPECT_EQ(RawAt<int8_t>(8732), -1);
  EXPECT_EQ(Raw()[8733], 0x2E);
  EXPECT_EQ(Raw()[8734], 5);
  EXPECT_EQ(Raw()[8735], 0xB8);
  EXPECT_EQ(Raw()[8736], 0x0C);
  EXPECT_EQ(Raw()[9083], 7);
  EXPECT_EQ(Raw()[9084], 3);
  EXPECT_EQ(Raw()[9085], 4);
  EXPECT_EQ(Raw()[9086], 5);
  EXPECT_EQ(Raw()[9087], 16);
  EXPECT_EQ(Raw()[9088], 0x41);
  EXPECT_EQ(Raw()[9089], 0x42);
  EXPECT_EQ(Raw()[9090], 0x43);
  EXPECT_EQ(Raw()[9091], 0x44);
  // Status B8: in play, locked, record, locating.
  EXPECT_EQ(Raw()[9092], 1) << "SystemLocked";
  EXPECT_EQ(Raw()[9093], 1) << "SystemInPlay";
  EXPECT_EQ(Raw()[9094], 1) << "SystemInLockedPlay";
  EXPECT_EQ(Raw()[9095], 1) << "SystemInRecord";
  EXPECT_EQ(Raw()[9096], 1) << "SystemIsLocating";
  EXPECT_EQ(Raw()[9097], 0x45);
  EXPECT_EQ(Raw()[9098], 0x46);
  EXPECT_EQ(RawAt<uint16_t>(9100), 7);
  EXPECT_EQ(Raw()[9103], 1) << "system flag 0";
  EXPECT_EQ(Raw()[9104], 1) << "system flag 1";
  EXPECT_EQ(Raw()[9105], 1) << "system flag 2";
  EXPECT_EQ(Raw()[9106], 1) << "system flag 3";
  EXPECT_EQ(Raw()[9112], 1) << "OffsetChange";
  EXPECT_EQ(Raw()[9113], 0x47);
  EXPECT_EQ(Raw()[9114], 4);
  EXPECT_EQ(Raw()[9115], 0x48);
  EXPECT_EQ(Raw()[9116], 0x49);
}

TEST_F(LayoutTest, SystemBlocksSitAtTheirOffsets) {
  uint8_t bytes[192];
  for (int i = 0; i < 192; ++i) bytes[i] = uint8_t(i + 1);
  uint8_t* buffer = bytes;
  setZQ_UnitData(&buffer, 0, 0, 128);
  setZQ_LogicalReady(&buffer, 0, 0, 12);
  setZQ_LogicalRecord(&buffer, 100, 0, 12);
  setZQ_TrackMap(&buffer, 0, 0, 192);
  EXPECT_EQ(Raw()[8737], 1);
  EXPECT_EQ(Raw()[8864], 128);
  EXPECT_EQ(Raw()[8865], 128) << "UnitDataLength";
  EXPECT_EQ(Raw()[8866], 1);
  EXPECT_EQ(Raw()[8877], 12);
  EXPECT_EQ(Raw()[8878], 101);
  EXPECT_EQ(Raw()[8889], 112);
  EXPECT_EQ(Raw()[8890], 1);
  EXPECT_EQ(Raw()[9081], 192);
  EXPECT_EQ(Raw()[9082], 192) << "TrackMapLength";
  EXPECT_EQ(Raw()[9107], 1) << "system flag 4";
  EXPECT_EQ(Raw()[9108], 1) << "system flag 5";
  EXPECT_EQ(getZQ_SystemRdyLength(), 4) << "UnitData byte 3";
  EXPECT_EQ(getZQ_ReadyKeys(), 30) << "UnitData byte 29";
}

TEST_F(LayoutTest, LoopsSitAtTheirOffsets) {
  uint8_t bytes[14] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  uint8_t* buffer = bytes;
  setZQ_ADRLoop(&buffer, 0, 0, 14);
  setZQ_ADRLoop(&buffer, 0, 255, 14);
  setZQ_currLoop(&buffer);
  EXPECT_EQ(Raw()[9120], 1);
  EXPECT_EQ(Raw()[9120 + 13], 14);
  EXPECT_EQ(Raw()[9120 + 14 * 255], 1);
  EXPECT_EQ(RawAt<uint16_t>(9118), 255) << "HighestLoop";
  EXPECT_EQ(Raw()[16302], 1);
  EXPECT_EQ(Raw()[16314], 13);
  EXPECT_EQ(Raw()[16315], 0) << "reserved";
  EXPECT_EQ(Raw()[9109], 1) << "system flag 6";
}

TEST_F(LayoutTest, ChangeCursorsSitAtTheirOffsets) {
  setZQ_MaxMachine(2);
  DrainChanges();
  Raw()[9111] = 0;
  setZQ_McnTally(1, 9);
  ASSERT_EQ(getZQ_LastChange(), 17)
      << "no system flag, so the machines are scanned in the same call";
  EXPECT_EQ(Raw()[McnAt(1, 102)], 2) << "ChangeCursor moved past flag 1";
  EXPECT_EQ(RawAt<int8_t>(9102), 2) << "MachineCursor moved past machine 1";
  EXPECT_EQ(Raw()[9111], 1) << "ScanToggle";
}

}  // namespace
