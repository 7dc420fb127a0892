// Change tracking: codes, fairness of the three cursors, and scans that always end.
#include <gmock/gmock.h>

#include <algorithm>

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

TEST_F(ChangeTrackerTest, LastChangeAndInternalChangeAreStoredValues) {
  setZQ_LastChange(77);
  EXPECT_EQ(Raw()[9097], 77);
  EXPECT_EQ(getZQ_LastChange(), 0) << "the stored value is not a change code";
}

}  // namespace
