// Machine accessors: the setter rule, status decoding, positions, names, blocks and bad arguments.
#include <array>

#include "ModelFixture.h"
#include "VyoModel.h"
#include "ZQTimeCodeDll.h"

using namespace modeltest;

namespace {

class McnAccessorsTest : public ModelTest {};

uint8_t Flag(int m, int n) { return Raw()[McnAt(m, 94 + n)]; }

TEST_F(McnAccessorsTest, SetterStoresOnlyAChangeAndRaisesItsFlagOnlyThen) {
  EXPECT_EQ(setZQ_McnTally(2, 5), 1);
  EXPECT_EQ(Flag(2, 1), 1);
  Raw()[McnAt(2, 95)] = 0;
  EXPECT_EQ(setZQ_McnTally(2, 5), 0);
  EXPECT_EQ(Flag(2, 1), 0) << "an unchanged value raises nothing";
  EXPECT_EQ(getZQ_McnTally(2), 5);

  // Each setter raises its own flag.
  setZQ_McnOffset(2, 7);
  setZQ_McnRecInPoint(2, 100);
  setZQ_McnRecordTracks(2, 8);
  EXPECT_EQ(Flag(2, 2), 1);
  EXPECT_EQ(Flag(2, 3), 1);
  EXPECT_EQ(Flag(2, 4), 1);
  EXPECT_EQ(getZQ_OffsetChange(), 1);
  EXPECT_EQ(getZQ_OffsetChange(), 0) << "reading OffsetChange clears it";

  Raw()[McnAt(2, 95)] = 0;
  EXPECT_EQ(setZQ_McnSyncPoint(2, 42), 1);
  EXPECT_EQ(Flag(2, 1) + Flag(2, 5) + Flag(2, 6) + Flag(2, 7), 0) << "SyncPoint raises no flag";
}

TEST_F(McnAccessorsTest, StatusBytesAreDecodedOnWrite) {
  setZQ_McnStatus2(1, 0x47);
  EXPECT_EQ(getZQ_McnTapeStatus(1), 7);
  EXPECT_EQ(getZQ_McnNoComms(1), 1);
  EXPECT_EQ(getZQ_McnInPlay(1), 0);
  setZQ_McnStatus2(1, 0x83);
  EXPECT_EQ(getZQ_McnIsSlow(1), 1);
  EXPECT_EQ(getZQ_McnNoComms(1), 0);
  EXPECT_EQ(getZQ_McnInPlay(1), 0) << "Status2 bit 7 stops play";
  setZQ_McnStatus2(1, 0x00);
  EXPECT_EQ(getZQ_McnInPlay(1), 1);
  setZQ_McnStatus1(1, 0x80);
  EXPECT_EQ(getZQ_McnInPlay(1), 0) << "Status1 bit 7 stops play";
  setZQ_McnStatus1(1, 0x78);  // record, armed, locating, not locked
  EXPECT_EQ(getZQ_McnInPlay(1), 1);
  EXPECT_EQ(getZQ_McnInRecord(1), 1);
  EXPECT_EQ(getZQ_McnIsArmed(1), 1);
  EXPECT_EQ(getZQ_McnIsLocating(1), 1);
  EXPECT_EQ(getZQ_McnIsLocked(1), 0);
  EXPECT_EQ(getZQ_McnInLockedPlay(1), 0);
  EXPECT_EQ(getZQ_McnRecordState(1), 3);
  setZQ_McnStatus1(1, 0x08);
  EXPECT_EQ(getZQ_McnInLockedPlay(1), 1);
  EXPECT_EQ(getZQ_McnRecordState(1), 2);
  setZQ_McnStatus1(1, 0x00);
  setZQ_McnStatus3(1, 0x01);
  EXPECT_EQ(getZQ_McnRecordState(1), 1);
  EXPECT_EQ(getZQ_McnIsRecordEnabled(1), 1);
  setZQ_McnStatus4(1, 0xF4);
  EXPECT_EQ(getZQ_McnStandard(1), 1) << "bits 2 and 3";
}

TEST_F(McnAccessorsTest, ChasingAndRecordEnableSetOneBitOfStatus3) {
  setZQ_McnStatus3(4, 0xF0);
  Raw()[McnAt(4, 95)] = 0;
  EXPECT_EQ(setZQ_McnIsChasing(4, 1), 1);
  EXPECT_EQ(getZQ_McnStatus3(4), 0xF8);
  EXPECT_EQ(getZQ_McnIsChasing(4), 1);
  EXPECT_EQ(Flag(4, 1), 1);
  EXPECT_EQ(setZQ_McnIsChasing(4, 1), 0) << "bit already set";
  EXPECT_EQ(setZQ_McnIsRecordEnabled(4, 1), 1);
  EXPECT_EQ(getZQ_McnStatus3(4), 0xF9);
  EXPECT_EQ(setZQ_McnIsChasing(4, 0), 1);
  EXPECT_EQ(getZQ_McnStatus3(4), 0xF1);
  EXPECT_EQ(getZQ_McnIsChasing(4), 0);
  EXPECT_EQ(setZQ_McnDataOK(4), 1);
  EXPECT_EQ(setZQ_McnDataOK(4), 0);
  EXPECT_EQ(getZQ_McnDataOK(4), 1);
}

TEST_F(McnAccessorsTest, PositionSetsZFrameAndReportsTheGeneratorAlways) {
  EXPECT_EQ(setZQ_McnPosition(-1, 0), 1) << "the generator reports an unchanged position";
  EXPECT_EQ(setZQ_McnPosition(1, 0), 0);
  setZQ_McnTally(1, 1);
  setZQ_McnStatus2(1, 0x01);  // decoded: in play
  EXPECT_EQ(setZQ_McnPosition(1, 50), 1);
  EXPECT_EQ(getZQ_McnZFrame(1), 1) << "in play: 50 frames is a whole EBU second";
  setZQ_McnPosition(1, 51);
  EXPECT_EQ(getZQ_McnZFrame(1), 0);
  setZQ_McnPosition(1, -25);
  EXPECT_EQ(getZQ_McnZFrame(1), 0) << "frames are taken as unsigned";
  setZQ_McnStatus1(1, 0x80);  // not playing
  setZQ_McnPosition(1, 52);
  EXPECT_EQ(getZQ_McnZFrame(1), 0) << "stopped in tally 1";
  setZQ_McnTally(1, 2);
  setZQ_McnPosition(1, 53);
  EXPECT_EQ(getZQ_McnZFrame(1), 1) << "stopped in any other tally";
  setZQ_McnStatus4(1, 0x04);  // SMPTE
  setZQ_McnPosition(1, 30 * 3661 + 5);
  EXPECT_EQ(getZQ_McnPositionHMSF(1), frms2hmsfCard(30 * 3661 + 5, 1));
  EXPECT_EQ(getZQ_McnPositionHMSF(1), 0x01010105u);
}

TEST_F(McnAccessorsTest, MasterPositionMovesTheMasterAndEveryOtherPlayingMachine) {
  setZQ_Master(2);
  setZQ_McnOffset(2, -10);
  setZQ_McnPosition(3, 2160000 - 1);  // last frame of an EBU day
  setZQ_McnPosition(4, 500);
  for (const int m : {2, 3, 5}) setZQ_McnStatus2(int8_t(m), 0x01);  // decoded: in play
  // Machine 4 and the others never had a status written: not playing. Machine 2 is the master.
  ASSERT_EQ(setZQ_MasterPosition(1000), 1);
  EXPECT_EQ(getZQ_MasterPosition(), 1000);
  EXPECT_EQ(getZQ_McnPosition(2), 990) << "master := frames + offset, not one frame on";
  EXPECT_EQ(getZQ_McnPosition(3), 0) << "moved on one frame, wrapping at the day";
  EXPECT_EQ(getZQ_McnPosition(4), 500) << "a stopped machine stays";
  EXPECT_EQ(getZQ_McnPosition(5), 1);
  EXPECT_EQ(setZQ_MasterPosition(1000), 1) << "always 1";
  EXPECT_EQ(getZQ_McnPosition(5), 2);

  setZQ_McnStatus1(2, 0x10);  // master locating: left where it is
  setZQ_MasterPosition(2000);
  EXPECT_EQ(getZQ_McnPosition(2), 990);
  setZQ_Master(-1);
  setZQ_MasterPosition(3000);
  EXPECT_EQ(getZQ_McnPosition(-1), 3000);
  EXPECT_EQ(getZQ_McnPosition(2), 991) << "no longer master, but playing";
}

TEST_F(McnAccessorsTest, NamesAreCutToSixAndAliasIsUsedFromTwoCharacters) {
  const auto longName = LengthPrefixed("DA88-PLUS");
  EXPECT_EQ(setZQ_McnIDName(1, longName.data()), 1);
  EXPECT_EQ(setZQ_McnIDName(1, longName.data()), 0) << "the same long name again changes nothing";
  uint8_t out[256] = {};
  getZQ_McnIDName(1, out);
  EXPECT_EQ(FromLengthPrefixed(out), "DA88-P");
  EXPECT_EQ(Flag(1, 3), 1);

  Raw()[McnAt(1, 97)] = 0;
  EXPECT_EQ(setZQ_McnIDNamePChar(1, "DA88"), 1);
  EXPECT_EQ(setZQ_McnIDNamePChar(1, "DA88"), 0);
  EXPECT_EQ(Flag(1, 3), 0) << "the zero-terminated setters raise no flag";
  EXPECT_EQ(setZQ_McnAlias(1, "EDITOR1"), 1);
  EXPECT_EQ(setZQ_McnAlias(1, "EDITOR2"), 0) << "both cut to EDITOR";
  char text[7] = {};
  getZQ_McnIDNamePChar(1, text);
  EXPECT_STREQ(text, "EDITOR");
  setZQ_McnAlias(1, "X");
  getZQ_McnIDNamePChar(1, text);
  EXPECT_STREQ(text, "DA88") << "a one-character alias is passed over";
  setZQ_McnAlias(1, "XY");
  setZQ_McnSonyID(1, 0x20E0);
  getZQ_McnIDNamePChar(1, text);
  EXPECT_STREQ(text, "DA88") << "a new SonyID empties the alias";

  getZQ_C_McnName(1, out);
  EXPECT_EQ(FromLengthPrefixed(out), "A: DA88");
  getZQ_C_McnName(-1, out);
  EXPECT_EQ(FromLengthPrefixed(out), "Generator");
  getZQ_C_McnName(0, out);
  EXPECT_EQ(FromLengthPrefixed(out), "Reader");
  const auto bvw = LengthPrefixed("BVW");
  setZQ_McnIDName(2, bvw.data());
  getZQ_C_McnName(2, out);
  EXPECT_EQ(FromLengthPrefixed(out), "B: BVW");
}

TEST_F(McnAccessorsTest, BlocksCopyWithWrappingBufferIndicesAndRaiseTheirFlags) {
  std::array<uint8_t, 256> source{};
  for (int i = 0; i < 256; ++i) source[i] = uint8_t(i);
  uint8_t* buffer = source.data();
  setZQ_McnTrackArmingP(1, &buffer, 250, 5, 10);  // buffer 250..255 then 0..3
  EXPECT_EQ(getZQ_McnTrackArming(1, 5), 250);
  EXPECT_EQ(getZQ_McnTrackArming(1, 10), 255);
  EXPECT_EQ(getZQ_McnTrackArming(1, 11), 0);
  EXPECT_EQ(getZQ_McnTrackArming(1, 14), 3);
  EXPECT_EQ(Flag(1, 2), 1);

  Raw()[McnAt(1, 96)] = 0;
  setZQ_McnTrackArmingP(1, &buffer, 250, 5, 10);
  EXPECT_EQ(Flag(1, 2), 1) << "the block setters raise their flag on every call";

  std::array<uint8_t, 256> target{};
  target.fill(0xEE);
  uint8_t* out = target.data();
  getZQ_McnTrackArmingP(1, &out, 5, 254, 3);
  EXPECT_EQ(target[254], 250);
  EXPECT_EQ(target[255], 251);
  EXPECT_EQ(target[0], 252);

  setZQ_McnTrackRecordP(1, &buffer, 1, 0, 15);
  target.fill(0xEE);
  getZQ_McnTrackRecordP(1, &out, 0, 0, 15);
  EXPECT_EQ(target[0], 0) << "zeros while not in record";
  EXPECT_EQ(target[14], 0);
  EXPECT_EQ(target[15], 0xEE);
  setZQ_McnStatus1(1, 0x20);
  getZQ_McnTrackRecordP(1, &out, 0, 0, 15);
  EXPECT_EQ(target[0], 1);
  EXPECT_EQ(target[14], 15);

  setZQ_McnIFaceData(1, &buffer, 0, 100, 20);
  EXPECT_EQ(Raw()[McnAt(1, 232)], 120) << "IFaceDataLength := destination index + count";
}

TEST_F(McnAccessorsTest, BadMachineNumbersAndIndicesTouchNothing) {
  std::array<uint8_t, kImageSize> before{};
  std::memcpy(before.data(), Raw(), kImageSize);
  std::array<uint8_t, 256> bytes{};
  bytes.fill(0x5A);
  uint8_t* buffer = bytes.data();
  const auto name = LengthPrefixed("NAME");
  for (const int m : {-128, -2, 36, 127}) {
    SCOPED_TRACE(m);
    EXPECT_EQ(setZQ_McnTally(int8_t(m), 1), 0);
    EXPECT_EQ(setZQ_McnStatus1(int8_t(m), 1), 0);
    EXPECT_EQ(setZQ_McnPosition(int8_t(m), 1), 0);
    EXPECT_EQ(setZQ_McnSonyID(int8_t(m), 1), 0);
    EXPECT_EQ(setZQ_McnIsChasing(int8_t(m), 1), 0);
    EXPECT_EQ(setZQ_McnDataOK(int8_t(m)), 0);
    EXPECT_EQ(setZQ_McnIDName(int8_t(m), name.data()), 0);
    EXPECT_EQ(setZQ_McnAlias(int8_t(m), "AB"), 0);
    setZQ_McnTrackArmingP(int8_t(m), &buffer, 0, 0, 15);
    setZQ_McnIFaceData(int8_t(m), &buffer, 0, 0, 128);
    EXPECT_EQ(getZQ_McnTally(int8_t(m)), 0);
    EXPECT_EQ(getZQ_McnIsInSystem(int8_t(m)), 0);
    uint8_t text[256] = {9};
    getZQ_C_McnName(int8_t(m), text);
    EXPECT_EQ(text[0], 0) << "an empty name";
  }
  EXPECT_EQ(setZQ_McnTrackArming(1, 15, 1), 0);
  EXPECT_EQ(getZQ_McnTrackArming(1, 15), 0);
  setZQ_McnTrackArmingP(1, &buffer, 0, 10, 6);  // 10 + 6 > 15
  setZQ_McnTrackRecordP(1, &buffer, 0, 15, 1);
  setZQ_McnIFaceData(1, &buffer, 0, 100, 29);  // 100 + 29 > 128
  setZQ_McnTrackArmingP(1, nullptr, 0, 0, 1);
  uint8_t* missing = nullptr;
  setZQ_McnTrackArmingP(1, &missing, 0, 0, 1);
  EXPECT_EQ(std::memcmp(before.data(), Raw(), kImageSize), 0) << "the shared block is untouched";

  getZQ_McnTrackArmingP(1, &buffer, 14, 0, 2);  // 14 + 2 > 15
  getZQ_McnIFaceData(1, &buffer, 120, 0, 9);
  EXPECT_EQ(bytes[0], 0x5A) << "a getter running past its block copies nothing";
}

TEST_F(McnAccessorsTest, IsInSystemFollowsMaxMachine) {
  setZQ_MaxMachine(3);
  EXPECT_EQ(getZQ_McnIsInSystem(-1), 1);
  EXPECT_EQ(getZQ_McnIsInSystem(3), 1);
  EXPECT_EQ(getZQ_McnIsInSystem(4), 0);
  EXPECT_EQ(getZQ_McnIsInSystem(-2), 0);
}

}  // namespace
