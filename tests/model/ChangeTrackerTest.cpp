// Change tracking: codes, fairness of the three cursors, and scans that always end.
#include <gmock/gmock.h>

#include <algorithm>
#include <functional>

#include "ModelFixture.h"
#include "VyoModel.h"

using namespace modeltest;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

namespace {

class ChangeTrackerTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    for (int m = -1; m <= 35; ++m) Raw()[McnAt(m, 102)] = 1;  // as after attaching
  }
  static void SetMaxMachine(int8_t max) { Raw()[9083] = uint8_t(max); }
  static void RaiseMcnFlag(int m, int n) { Raw()[McnAt(m, 94 + n)] = 1; }
};

TEST_F(ChangeTrackerTest, NothingRaisedReturnsZeroAndOnlyTheToggleMoves) {
  SetMaxMachine(3);
  Raw()[9102] = 2;           // MachineCursor
  Raw()[9110] = 4;           // SystemCursor
  Raw()[McnAt(1, 102)] = 5;  // a ChangeCursor
  std::vector<uint8_t> before(Raw(), Raw() + kImageSize);
  EXPECT_EQ(getZQ_LastChange(), 0);
  EXPECT_EQ(Raw()[9111], 1) << "ScanToggle flipped";
  Raw()[9111] = 0;
  EXPECT_EQ(std::vector<uint8_t>(Raw(), Raw() + kImageSize), before)
      << "cursors back where they started";
  EXPECT_EQ(getZQ_LastChange(), 0);
  EXPECT_EQ(getZQ_LastChange(), 0);
}

TEST_F(ChangeTrackerTest, SystemAndMachineFlagsAreHandedOutOnceEach) {
  SetMaxMachine(2);
  setZQ_Master(1);
  setZQ_McnTally(2, 4);
  std::vector<int> codes;
  for (int i = 0; i < 3; ++i) codes.push_back(getZQ_LastChange());
  EXPECT_EQ(codes[2], 0);
  codes.pop_back();
  EXPECT_THAT(codes, UnorderedElementsAre(248, 25));
}

TEST_F(ChangeTrackerTest, CodesOfTheGeneratorTheReaderAndSystemFlags) {
  SetMaxMachine(0);
  setZQ_McnPosition(-1, 10);
  EXPECT_THAT(DrainChanges(), ElementsAre(1));
  setZQ_McnPosition(0, 10);
  EXPECT_THAT(DrainChanges(), ElementsAre(9));
  std::memset(Raw() + 9103, 1, 7);
  std::vector<int> codes = DrainChanges();
  std::sort(codes.begin(), codes.end());
  EXPECT_THAT(codes, ElementsAre(248, 249, 250, 251, 252, 253, 254));
}

TEST_F(ChangeTrackerTest, MachinesAboveMaxMachineWaitUntilItIsRaised) {
  SetMaxMachine(1);
  setZQ_McnTally(3, 1);
  EXPECT_THAT(DrainChanges(), ElementsAre());
  EXPECT_EQ(Raw()[McnAt(3, 95)], 1) << "still raised";
  SetMaxMachine(3);
  EXPECT_THAT(DrainChanges(), ElementsAre(33));
}

TEST_F(ChangeTrackerTest, CursorsMoveOnSoNoFlagStarvesTheOthers) {
  SetMaxMachine(2);
  Raw()[9102] = uint8_t(-1);
  RaiseMcnFlag(1, 1);
  RaiseMcnFlag(1, 2);
  RaiseMcnFlag(2, 1);
  RaiseMcnFlag(2, 7);
  EXPECT_THAT(DrainChanges(), ElementsAre(17, 25, 18, 31));
}

TEST_F(ChangeTrackerTest, CursorsOutOfRangeRestartAtTheLowEndAndTheScanEnds) {
  SetMaxMachine(2);
  Raw()[9102] = 50;           // MachineCursor above MaxMachine
  Raw()[9110] = 200;          // SystemCursor outside 0..6
  Raw()[McnAt(-1, 102)] = 0;  // ChangeCursors outside 1..7
  Raw()[McnAt(0, 102)] = 9;
  Raw()[McnAt(2, 102)] = 255;
  RaiseMcnFlag(2, 3);
  Raw()[9103 + 6] = 1;
  std::vector<int> codes = DrainChanges();
  std::sort(codes.begin(), codes.end());
  EXPECT_THAT(codes, ElementsAre(27, 254));
  EXPECT_GE(RawAt<int8_t>(9102), -1);
  EXPECT_LE(RawAt<int8_t>(9102), 2);
  EXPECT_LE(Raw()[9110], 6);
  EXPECT_GE(Raw()[McnAt(0, 102)], 1);
  EXPECT_LE(Raw()[McnAt(0, 102)], 7);
}

TEST_F(ChangeTrackerTest, DamagedMaxMachineKeepsTheScanInsideTheMachines) {
  for (const int8_t max : {int8_t(100), int8_t(-5)}) {
    SCOPED_TRACE(int(max));
    SetMaxMachine(max);
    Raw()[9102] = uint8_t(max);
    RaiseMcnFlag(-1, 2);
    EXPECT_THAT(DrainChanges(), ElementsAre(2));
    EXPECT_GE(RawAt<int8_t>(9102), -1);
    EXPECT_LE(RawAt<int8_t>(9102), 35) << "MachineCursor stays a machine number";
  }
}

// Every setter against the table of what raises each flag: the one code it hands out (or none), and
// whether the same call again raises it again ("always") or not (stored values only).
TEST_F(ChangeTrackerTest, EverySetterRaisesExactlyTheFlagOfTheTable) {
  constexpr int8_t m = 2;
  const auto machine = [](int n) { return 8 * (m + 1) + n; };
  const auto system = [](int i) { return 248 + i; };
  constexpr int kNone = 0;
  enum Again { OnlyWhenStored, Always, NotChecked };
  static uint8_t bytes[192] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  static uint8_t* const buffer = bytes;
  static const uint8_t name[] = {4, 'D', 'A', '8', '8'};
  struct Row {
    const char* setter;
    std::function<void()> set;
    int code;
    Again again;
  };
  const Row rows[] = {
      {"setZQ_McnTally", [] { setZQ_McnTally(m, 3); }, machine(1), OnlyWhenStored},
      {"setZQ_McnStatus1", [] { setZQ_McnStatus1(m, 0x20); }, machine(1), OnlyWhenStored},
      {"setZQ_McnStatus2", [] { setZQ_McnStatus2(m, 0x81); }, machine(1), OnlyWhenStored},
      {"setZQ_McnStatus3", [] { setZQ_McnStatus3(m, 0x08); }, machine(1), OnlyWhenStored},
      {"setZQ_McnIsChasing", [] { setZQ_McnIsChasing(m, 1); }, machine(1), OnlyWhenStored},
      {"setZQ_McnIsRecordEnabled", [] { setZQ_McnIsRecordEnabled(m, 1); }, machine(1),
       OnlyWhenStored},
      {"setZQ_McnPosition", [] { setZQ_McnPosition(m, 90000); }, machine(1), OnlyWhenStored},
      {"setZQ_McnSyncError", [] { setZQ_McnSyncError(m, 7); }, machine(1), OnlyWhenStored},
      {"setZQ_McnOffset", [] { setZQ_McnOffset(m, -25); }, machine(2), OnlyWhenStored},
      {"setZQ_McnSubFrameOffset", [] { setZQ_McnSubFrameOffset(m, 40); }, machine(2),
       OnlyWhenStored},
      {"setZQ_McnTrackArming", [] { setZQ_McnTrackArming(m, 5, 0x0F); }, machine(2),
       OnlyWhenStored},
      {"setZQ_McnTrackArmingP", [] { setZQ_McnTrackArmingP(m, &buffer, 0, 0, 15); }, machine(2),
       Always},
      {"setZQ_McnTrackRecordP", [] { setZQ_McnTrackRecordP(m, &buffer, 0, 0, 15); }, machine(2),
       Always},
      {"setZQ_McnStatus4", [] { setZQ_McnStatus4(m, 0x0C); }, machine(3), OnlyWhenStored},
      {"setZQ_McnSonyID", [] { setZQ_McnSonyID(m, 0x2010); }, machine(3), OnlyWhenStored},
      {"setZQ_McnIDName", [] { setZQ_McnIDName(m, name); }, machine(3), OnlyWhenStored},
      {"setZQ_McnRecordTracks", [] { setZQ_McnRecordTracks(m, 24); }, machine(3), OnlyWhenStored},
      {"setZQ_McnRecInPoint", [] { setZQ_McnRecInPoint(m, 1000); }, machine(4), OnlyWhenStored},
      {"setZQ_McnRecOutPoint", [] { setZQ_McnRecOutPoint(m, 2000); }, machine(4), OnlyWhenStored},
      {"setZQ_McnSyncPoint", [] { setZQ_McnSyncPoint(m, 500); }, kNone, OnlyWhenStored},
      {"setZQ_McnIDNamePChar", [] { setZQ_McnIDNamePChar(m, "BVU950"); }, kNone, OnlyWhenStored},
      {"setZQ_McnAlias", [] { setZQ_McnAlias(m, "Deck"); }, kNone, OnlyWhenStored},
      {"setZQ_McnIFaceData", [] { setZQ_McnIFaceData(m, &buffer, 0, 0, 15); }, kNone,
       OnlyWhenStored},
      {"setZQ_McnDataOK", [] { setZQ_McnDataOK(m); }, kNone, OnlyWhenStored},
      {"setZQ_Master", [] { setZQ_Master(1); }, system(0), OnlyWhenStored},
      {"setZQ_SelectedMcn", [] { setZQ_SelectedMcn(2); }, system(1), OnlyWhenStored},
      {"setZQ_RecordBank", [] { setZQ_RecordBank(3); }, system(2), OnlyWhenStored},
      {"setZQ_UnitData at 24", [] { setZQ_UnitData(&buffer, 0, 24, 4); }, system(3), NotChecked},
      {"setZQ_UnitData elsewhere", [] { setZQ_UnitData(&buffer, 0, 30, 4); }, kNone,
       OnlyWhenStored},
      {"setZQ_VMajor", [] { setZQ_VMajor(4); }, system(3), OnlyWhenStored},
      {"setZQ_VMinor", [] { setZQ_VMinor(2); }, system(3), OnlyWhenStored},
      {"setZQ_SystemType", [] { setZQ_SystemType(9); }, system(3), OnlyWhenStored},
      {"setZQ_RdyKeyLength", [] { setZQ_RdyKeyLength(16); }, system(3), OnlyWhenStored},
      {"setZQ_MaxMachine", [] { setZQ_MaxMachine(5); }, system(3), OnlyWhenStored},
      {"setZQ_UnitDataSize", [] { setZQ_UnitDataSize(64); }, system(3), OnlyWhenStored},
      {"setZQ_IFaceDataSize", [] { setZQ_IFaceDataSize(32); }, system(3), OnlyWhenStored},
      {"setZQ_LogicalDataSize", [] { setZQ_LogicalDataSize(12); }, system(3), OnlyWhenStored},
      {"setZQ_MacroDataSize", [] { setZQ_MacroDataSize(8); }, system(3), OnlyWhenStored},
      {"setZQ_TrackMap", [] { setZQ_TrackMap(&buffer, 0, 0, 15); }, system(4), Always},
      {"setZQ_LogicalReady", [] { setZQ_LogicalReady(&buffer, 0, 0, 12); }, system(5),
       OnlyWhenStored},
      {"setZQ_LogicalRecord", [] { setZQ_LogicalRecord(&buffer, 0, 0, 12); }, system(5),
       OnlyWhenStored},
      {"setZQ_ADRLoop", [] { setZQ_ADRLoop(&buffer, 0, 3, 14); }, system(6), OnlyWhenStored},
      {"setZQ_currLoop", [] { setZQ_currLoop(&buffer); }, system(6), OnlyWhenStored},
      {"setZQ_LoopNumb", [] { setZQ_LoopNumb(&buffer); }, system(6), OnlyWhenStored},
      {"setZQ_Error", [] { setZQ_Error(3); }, kNone, OnlyWhenStored},
      {"setZQ_SystemStatus", [] { setZQ_SystemStatus(0x80); }, kNone, OnlyWhenStored},
      {"setZQ_Editmode", [] { setZQ_Editmode(2); }, kNone, OnlyWhenStored},
      {"setZQ_WindMax1", [] { setZQ_WindMax1(9); }, kNone, OnlyWhenStored},
      {"setZQ_WindMax", [] { setZQ_WindMax(9, 1, 1); }, kNone, OnlyWhenStored},
      {"setZQ_SystemRdyLength", [] { setZQ_SystemRdyLength(24); }, kNone, OnlyWhenStored},
  };
  const auto codes = [](int code) {
    return code == kNone ? std::vector<int>{} : std::vector{code};
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.setter);
    std::memset(Raw(), 0, kImageSize);
    for (int machineNumber = -1; machineNumber <= 35; ++machineNumber)
      Raw()[McnAt(machineNumber, 102)] = 1;
    SetMaxMachine(m);
    row.set();
    EXPECT_EQ(DrainChanges(), codes(row.code));
    if (row.again == NotChecked) continue;
    row.set();
    EXPECT_EQ(DrainChanges(), codes(row.again == Always ? row.code : kNone)) << "the same again";
  }
}

TEST_F(ChangeTrackerTest, LastChangeAndInternalChangeAreStoredValues) {
  setZQ_LastChange(77);
  EXPECT_EQ(Raw()[9097], 77);
  EXPECT_EQ(getZQ_LastChange(), 0) << "the stored value is not a change code";
}

}  // namespace
