// The Sony front end: replies, server requests, status block, arming commands and their limits.
#include <gmock/gmock.h>

#include "ModelFixture.h"
#include "VyoModel.h"
#include "ZQServerRecord.h"

using namespace modeltest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class SonyFrontEndTest : public ModelTest {
 protected:
  // The reply to msg for machine m, checksum included; bytes past the reply stay untouched.
  std::vector<uint8_t> Parse(std::vector<uint8_t> msg, int m) {
    uint8_t reply[32];
    std::memset(reply, 0xCC, sizeof reply);
    ZQ_ParseSony(msg.data(), reply, int8_t(m));
    const int length = (reply[0] & 0x0F) + 3;
    for (int i = 18; i < 32; ++i) EXPECT_EQ(reply[i], 0xCC) << "written past 18 bytes";
    uint8_t sum = 0;
    for (int i = 0; i < length - 1; ++i) sum = uint8_t(sum + reply[i]);
    EXPECT_EQ(reply[length - 1], sum) << "checksum";
    return std::vector<uint8_t>(reply, reply + length - 1);  // without the checksum
  }
  static std::vector<uint8_t> Ack() { return {0x10, 0x01}; }
  static std::vector<uint8_t> Nak() { return {0x11, 0x12, 0x01}; }
};

TEST_F(SonyFrontEndTest, PlayForMachine2SendsCommand2AndAcks) {
  uint8_t reply[18];
  const uint8_t play[] = {0x20, 0x01, 0x21};
  ZQ_ParseSony(play, reply, 2);
  EXPECT_THAT(std::vector<uint8_t>(reply, reply + 3), ElementsAre(0x10, 0x01, 0x11));
  EXPECT_THAT(ServerLines(), ElementsAre("ZQServer_McnCommand machine=2 command=2 (0x02)"));
}

TEST_F(SonyFrontEndTest, TransportCommandsMapToServerCodes) {
  const std::pair<uint8_t, const char*> table[] = {
      {0x00, "13 (0x0D)"}, {0x01, "2 (0x02)"},  {0x02, "8 (0x08)"},  {0x10, "7 (0x07)"},
      {0x20, "6 (0x06)"},  {0x30, "12 (0x0C)"}, {0x40, "16 (0x10)"}, {0x41, "18 (0x12)"},
      {0x42, "17 (0x11)"}, {0x64, "9 (0x09)"},  {0x65, "8 (0x08)"}};
  for (const auto& [cmd2, code] : table) {
    ZQServerRecord_Clear();
    EXPECT_EQ(Parse({0x20, cmd2}, 1), Ack());
    EXPECT_THAT(ServerLines(),
                ElementsAre(std::string("ZQServer_McnCommand machine=1 command=") + code));
  }
}

TEST_F(SonyFrontEndTest, SpeedCommandsUseTheSpeedTable) {
  Parse({0x21, 0x22, 0x00}, 1);  // variable reverse, speed 0 + 128
  Parse({0x21, 0x12, 0x7F}, 1);  // variable forward, 127
  Parse({0x21, 0x11, 0x19}, 1);  // jog forward, byte 25 -> 2
  Parse({0x21, 0x13, 0x18}, 1);  // shuttle forward, byte 24 -> 1
  Parse({0x21, 0x23, 0x20}, 1);  // shuttle reverse, byte 32 -> 3 + 128
  Parse({0x21, 0x21, 0x7A}, 1);  // jog reverse, byte 122 -> 117 + 128
  Parse({0x21, 0x11, 0x7B}, 1);  // byte 123 -> 127
  EXPECT_THAT(
      ServerLines(),
      ElementsAre("ZQServer_McnCommandWithByteData machine=1 command=31 (0x1F) data=128 (0x80)",
                  "ZQServer_McnCommandWithByteData machine=1 command=31 (0x1F) data=127 (0x7F)",
                  "ZQServer_McnCommandWithByteData machine=1 command=29 (0x1D) data=2 (0x02)",
                  "ZQServer_McnCommandWithByteData machine=1 command=30 (0x1E) data=1 (0x01)",
                  "ZQServer_McnCommandWithByteData machine=1 command=30 (0x1E) data=131 (0x83)",
                  "ZQServer_McnCommandWithByteData machine=1 command=29 (0x1D) data=245 (0xF5)",
                  "ZQServer_McnCommandWithByteData machine=1 command=29 (0x1D) data=127 (0x7F)"));
}

TEST_F(SonyFrontEndTest, TimeCodeCommandsAndUnknownCommandsOfGroups0To4) {
  setZQ_McnPosition(3, 1234);
  EXPECT_EQ(Parse({0x24, 0x31, 0x00, 0x00, 0x00, 0x01}, 3), Ack());  // cue up with 01:00:00:00
  EXPECT_EQ(Parse({0x20, 0x37}, 3), Ack());
  EXPECT_EQ(Parse({0x44, 0x14, 0x00, 0x00, 0x00, 0x01}, 3), Ack());
  EXPECT_EQ(Parse({0x40, 0x11}, 3), Ack());
  EXPECT_EQ(Parse({0x40, 0x00}, 3), Ack());
  EXPECT_EQ(Parse({0x21, 0x5F, 0xAB}, 3), Ack());
  EXPECT_EQ(Parse({0x41, 0x20, 0x01}, 3), Ack());
  EXPECT_EQ(Parse({0x00, 0x0C}, 3), Ack());
  EXPECT_THAT(
      ServerLines(),
      ElementsAre("ZQServer_McnCommandWithTCFrms machine=3 command=32 (0x20) frames=90000",
                  "ZQServer_McnCommandWithByteData machine=3 command=27 (0x1B) data=1 (0x01)",
                  "ZQServer_McnCommandWithTCFrms machine=3 command=34 (0x22) frames=90000",
                  "ZQServer_McnCommandWithTCFrms machine=3 command=35 (0x23) frames=1234",
                  "ZQServer_SonyCommand machine=3 cmd1=33 (0x21) cmd2=95 (0x5F) data=AB",
                  "ZQServer_SonyCommand machine=3 cmd1=65 (0x41) cmd2=32 (0x20) data=01",
                  "ZQServer_SonyCommand machine=3 cmd1=0 (0x00) cmd2=12 (0x0C) data="));
}

TEST_F(SonyFrontEndTest, DeviceTypeRequestAnswersTheSonyIdHighByteFirst) {
  setZQ_McnSonyID(5, 0x20E0);
  EXPECT_THAT(Parse({0x00, 0x11}, 5), ElementsAre(0x12, 0x11, 0x20, 0xE0));
  EXPECT_THAT(ServerLines(), IsEmpty());
}

TEST_F(SonyFrontEndTest, StatusSenseForTally1) {
  setZQ_McnTally(1, 1);
  EXPECT_THAT(Parse({0x61, 0x20, 0x0F}, 1),
              ElementsAre(0x7F, 0x20, 0x00, 0xA0, 0x82, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00,
                          0x00, 0x00, 0x00, 0x00, 0x00));
  EXPECT_THAT(Parse({0x61, 0x20, 0x21}, 1), ElementsAre(0x71, 0x20, 0x82));
  EXPECT_THAT(Parse({0x61, 0x20, 0xF1}, 1), ElementsAre(0x71, 0x20, 0x00)) << "S15, the last byte";
  EXPECT_EQ(Parse({0x61, 0x20, 0xF2}, 1), Nak()) << "start + n past the 16 status bytes";
}

TEST_F(SonyFrontEndTest, StatusBlockRules) {
  setZQ_McnTally(2, 3);  // S1 81, S2 00
  setZQ_McnStatus1(
      2,
      0xF0);  // bit 7: S2 bit 2; bit 6 set: no S2 bit 7; bit 5: S1 bit 1, S4 bit 4; bit 4: S4 bit 0
  setZQ_McnStatus2(2, 0x1B);  // tape 3: S0 20; bit 4: S2 bit 0; bit 3: S2 bit 1
  setZQ_McnIsChasing(2, 1);   // S7 10
  setZQ_Editmode(2);          // S4 bit 2
  EXPECT_THAT(Parse({0x61, 0x20, 0x08}, 2),
              ElementsAre(0x78, 0x20, 0x20, 0x83, 0x07, 0x00, 0x15, 0x00, 0x00, 0x10));
  setZQ_SystemStatus(0x08);   // system local: S0 01
  setZQ_McnStatus2(2, 0x01);  // tape 1: S13 02
  EXPECT_THAT(Parse({0x61, 0x20, 0x01}, 2), ElementsAre(0x71, 0x20, 0x01));
  EXPECT_THAT(Parse({0x61, 0x20, 0xD1}, 2), ElementsAre(0x71, 0x20, 0x02));
  setZQ_Editmode(3);
  setZQ_McnTally(2, 17);  // no table row: S1 = S2 = 0
  setZQ_McnStatus1(2, 0x40);
  EXPECT_THAT(Parse({0x61, 0x20, 0x14}, 2), ElementsAre(0x74, 0x20, 0x00, 0x00, 0x00, 0x00));
}

TEST_F(SonyFrontEndTest, TimeSenseRepliesCarryTheMachinesTime) {
  setZQ_McnStatus4(1, 0x04);            // SMPTE
  setZQ_McnPosition(1, 30 * 3661 + 5);  // 01:01:01:05
  setZQ_McnPosition(-1, 25 * 60);       // 00:01:00:00 EBU
  setZQ_McnRecInPoint(1, 30);
  setZQ_McnRecOutPoint(1, 60);
  setZQ_Master(4);
  setZQ_SelectedMcn(1);
  setZQ_McnStatus3(1, 0x09);
  EXPECT_THAT(Parse({0x61, 0x0C, 0x01}, 1), ElementsAre(0x74, 0x04, 0x05, 0x01, 0x01, 0x01));
  EXPECT_THAT(Parse({0x61, 0x0C, 0x04}, 1), ElementsAre(0x74, 0x00, 0x05, 0x01, 0x01, 0x01));
  EXPECT_THAT(Parse({0x61, 0x0C, 0x08}, 1), ElementsAre(0x74, 0x01, 0x05, 0x01, 0x01, 0x01));
  EXPECT_THAT(Parse({0x61, 0x0C, 0x1E}, 1),
              ElementsAre(0x78, 0x1E, 0x05, 0x01, 0x01, 0x01, 0x04, 0x01, 0x09, 0x00));
  EXPECT_THAT(Parse({0x61, 0x0C, 0x10}, 1), ElementsAre(0x70, 0x0D));
  EXPECT_THAT(Parse({0x60, 0x0A}, 1), ElementsAre(0x74, 0x08, 0x00, 0x00, 0x01, 0x00));
  EXPECT_THAT(Parse({0x60, 0x10}, 1), ElementsAre(0x74, 0x10, 0x00, 0x01, 0x00, 0x00));
  EXPECT_THAT(Parse({0x60, 0x13}, 1), ElementsAre(0x74, 0x13, 0x00, 0x02, 0x00, 0x00));
  EXPECT_EQ(Parse({0x60, 0x0B}, 1), Nak());
}

TEST_F(SonyFrontEndTest, ChecksumOf70_0DReply) {
  uint8_t reply[18];
  const uint8_t msg[] = {0x61, 0x0C, 0x10};
  ZQ_ParseSony(msg, reply, 0);
  EXPECT_THAT(std::vector<uint8_t>(reply, reply + 3), ElementsAre(0x70, 0x0D, 0x7D));
}

TEST_F(SonyFrontEndTest, DataPastTheAnnouncedCountIsNotRead) {
  // CMD-1 60 announces no data: the 01 after CMD-2 is not DATA-1, so DATA-1 reads as 0.
  EXPECT_THAT(Parse({0x60, 0x0C, 0x01}, 1), ElementsAre(0x70, 0x0D));
  EXPECT_THAT(Parse({0x60, 0x20, 0x0F}, 1), ElementsAre(0x70, 0x20));
}

TEST_F(SonyFrontEndTest, OtherGroupsAndBadArgumentsGetNak) {
  for (const uint8_t cmd1 : {0x10, 0x30, 0x50, 0x70, 0x80, 0x90, 0xA0, 0xB0, 0xD0, 0xE0, 0xF0}) {
    EXPECT_EQ(Parse({cmd1, 0x01}, 1), Nak()) << int(cmd1);
  }
  EXPECT_EQ(Parse({0xC0, 0x5A}, 1), Nak());
  EXPECT_EQ(Parse({0x20, 0x01}, 36), Nak());
  EXPECT_EQ(Parse({0x20, 0x01}, -2), Nak());
  uint8_t reply[18];
  ZQ_ParseSony(nullptr, reply, 1);
  EXPECT_THAT(std::vector<uint8_t>(reply, reply + 4), ElementsAre(0x11, 0x12, 0x01, 0x24));
  ZQ_ParseSony(reply, nullptr, 1);  // nowhere to answer: nothing happens
  EXPECT_THAT(ServerLines(), IsEmpty());
}

TEST_F(SonyFrontEndTest, EditPresetToTheLogicalTargetCopiesOnlyTheTrackBytesPresent) {
  uint8_t logical[12] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB};
  uint8_t* buffer = logical;
  setZQ_LogicalReady(&buffer, 0, 0, 12);
  setZQ_RecordBank(3);  // target 0
  EXPECT_EQ(Parse({0x41, 0x30, 0x55}, 1), Ack());
  EXPECT_THAT(ServerLines(), IsEmpty()) << "one data byte: nothing to send";
  // Three data bytes: the preset byte, then two track bytes; a checksum-like byte follows.
  EXPECT_EQ(Parse({0x43, 0x30, 0x55, 0x01, 0x02, 0x99}, 1), Ack());
  std::vector<uint8_t> full = {0x4F, 0x30};
  for (int i = 1; i <= 15; ++i) full.push_back(uint8_t(i));
  EXPECT_EQ(Parse(full, 1), Ack());
  EXPECT_THAT(
      ServerLines(),
      ElementsAre(
          "ZQServer_LogicalTrackArming count=12 arming=01 02 A2 A3 A4 A5 A6 A7 A8 A9 AA AB",
          "ZQServer_LogicalTrackArming count=12 arming=02 03 04 05 06 07 08 09 0A 0B 0C 0D"));
  uint8_t after[12];
  uint8_t* out = after;
  getZQ_LogicalReady(&out, 0, 0, 12);
  EXPECT_EQ(std::memcmp(after, logical, 12), 0) << "the model itself is not changed";
}

TEST_F(SonyFrontEndTest, EditPresetToAMachineCopiesAtMostSevenBytes) {
  setZQ_McnTrackArming(2, 6, 0x66);
  setZQ_RecordBank(2 * 8 + 1);
  EXPECT_EQ(Parse({0x42, 0x30, 0x11, 0x22}, 1), Ack());
  std::vector<uint8_t> full = {0x4F, 0x30};
  for (int i = 1; i <= 15; ++i) full.push_back(uint8_t(i));
  EXPECT_EQ(Parse(full, 1), Ack());
  EXPECT_THAT(ServerLines(),
              ElementsAre("ZQServer_McnTrackArming machine=2 count=7 arming=11 22 00 00 00 00 66",
                          "ZQServer_McnTrackArming machine=2 count=7 arming=01 02 03 04 05 06 07"));
}

TEST_F(SonyFrontEndTest, EditPresetSenseMarksArmedTracksAndRefusesToRunPastTheBlock) {
  setZQ_RecordBank(8);  // machine 1
  setZQ_McnTrackArming(1, 0, 0x01);
  setZQ_McnTrackArming(1, 1, 0x02);
  EXPECT_THAT(Parse({0x61, 0x30, 0x03}, 1), ElementsAre(0x73, 0x30, 0x41, 0x02, 0x00));
  EXPECT_THAT(Parse({0x61, 0x30, 0x01}, 1), ElementsAre(0x71, 0x30, 0x01))
      << "n - 1 = 0 bytes summed";
  setZQ_McnTrackArming(1, 0, 0x21);
  EXPECT_THAT(Parse({0x61, 0x30, 0x02}, 1), ElementsAre(0x72, 0x30, 0x21, 0x02))
      << "bit 5 set: left";
  EXPECT_THAT(Parse({0x61, 0x30, 0xE1}, 1), ElementsAre(0x71, 0x30, 0x00)) << "byte 14, the last";
  EXPECT_EQ(Parse({0x61, 0x30, 0xE2}, 1), Nak());
  EXPECT_EQ(Parse({0x61, 0x30, 0x1F}, 1), Nak());
}

TEST_F(SonyFrontEndTest, SystemKeysOfCx58) {
  setZQ_SelectedMcn(4);
  Parse({0xC1, 0x58, 0x00}, 2);
  Parse({0xC1, 0x58, 0x04}, 2);
  Parse({0xC1, 0x58, 0x05}, 2);
  Parse({0xC1, 0x58, 0x06}, 2);
  Parse({0xC1, 0x58, 0x07}, 2);
  setZQ_McnIsChasing(2, 1);
  Parse({0xC1, 0x58, 0x07}, 2);
  EXPECT_EQ(Parse({0xC1, 0x58, 0x10}, 2), Nak());
  EXPECT_THAT(
      ServerLines(),
      ElementsAre("ZQServer_McnCommand machine=1 command=0 (0x00)",
                  "ZQServer_McnCommand machine=5 command=0 (0x00)",
                  "ZQServer_McnCommand machine=-1 command=0 (0x00)",
                  "ZQServer_MacroCommand macro=65 (0x41) zero=0",
                  "ZQServer_McnCommandWithByteData machine=4 command=27 (0x1B) data=1 (0x01)",
                  "ZQServer_McnCommandWithByteData machine=4 command=27 (0x1B) data=0 (0x00)"));
}

TEST_F(SonyFrontEndTest, ArmingToggleSendsTheBankWithOneBitFlipped) {
  setZQ_McnTrackArming(1, 5, 0x01);
  setZQ_RecordBank(12);  // machine 1, bank 4 -> byte 5
  EXPECT_EQ(Parse({0xC1, 0x58, 0x0A}, 1), Ack());
  EXPECT_EQ(getZQ_McnTrackArming(1, 5), 0x01) << "the model is not changed";
  setZQ_RecordBank(6);  // logical, bank 6 -> position 7, which becomes 0
  EXPECT_EQ(Parse({0xC1, 0x58, 0x0F}, 1), Ack());
  setZQ_RecordBank(7);  // logical, bank 7 -> position 8
  EXPECT_EQ(Parse({0xC1, 0x58, 0x08}, 1), Ack());
  setZQ_RecordBank(8 + 6);  // machine 1, bank 6 -> byte 0
  EXPECT_EQ(Parse({0xC1, 0x58, 0x09}, 1), Ack());
  setZQ_RecordBank(8 + 7);  // machine 1, bank 7 -> byte 8: outside the 7 bytes sent
  EXPECT_EQ(Parse({0xC1, 0x58, 0x08}, 1), Nak());
  EXPECT_THAT(
      ServerLines(),
      ElementsAre("ZQServer_McnTrackArming machine=1 count=7 arming=00 00 00 00 00 05 00",
                  "ZQServer_LogicalTrackArming count=12 arming=80 00 00 00 00 00 00 00 00 00 00 00",
                  "ZQServer_LogicalTrackArming count=12 arming=00 00 00 00 00 00 00 00 01 00 00 00",
                  "ZQServer_McnTrackArming machine=1 count=7 arming=02 00 00 00 00 01 00"));
}

TEST_F(SonyFrontEndTest, ArmingStateReadsByteEightForBankSeven) {
  uint8_t logical[12] = {0x11, 0, 0, 0, 0, 0, 0, 0, 0x88};
  uint8_t* buffer = logical;
  setZQ_LogicalReady(&buffer, 0, 0, 12);
  setZQ_RecordBank(6);  // position 0
  EXPECT_THAT(Parse({0xC0, 0x59}, 1), ElementsAre(0xD2, 0x59, 0x41, 0x11));
  setZQ_RecordBank(7);  // position 8
  EXPECT_THAT(Parse({0xC0, 0x59}, 1), ElementsAre(0xD2, 0x59, 0x41, 0x88));
  setZQ_McnTrackArming(2, 8, 0x5C);
  setZQ_RecordBank(2 * 8 + 7);
  EXPECT_THAT(Parse({0xC0, 0x59}, 1), ElementsAre(0xD2, 0x59, 0x41, 0x5C));
}

TEST_F(SonyFrontEndTest, EditPresetTargetIsTheSignedRecordBankDividedByEight) {
  setZQ_McnTrackArming(-1, 6, 0x66);
  setZQ_RecordBank(0xF8);  // -8: the generator, bank 0
  EXPECT_EQ(Parse({0x41, 0x30, 0x12}, 1), Ack());
  setZQ_RecordBank(0xF1);  // -15: still the generator
  EXPECT_EQ(Parse({0x41, 0x30, 0x13}, 1), Ack());
  setZQ_RecordBank(0xFC);  // -4 divided by 8 truncates to 0: the logical bytes
  EXPECT_EQ(Parse({0x42, 0x30, 0x12, 0x34}, 1), Ack());
  setZQ_RecordBank(0x80);  // -128: machine -16 does not exist
  EXPECT_EQ(Parse({0x41, 0x30, 0x12}, 1), Ack());
  EXPECT_THAT(
      ServerLines(),
      ElementsAre(
          "ZQServer_McnTrackArming machine=-1 count=7 arming=12 00 00 00 00 00 66",
          "ZQServer_McnTrackArming machine=-1 count=7 arming=13 00 00 00 00 00 66",
          "ZQServer_LogicalTrackArming count=12 arming=34 00 00 00 00 00 00 00 00 00 00 00"));
}

TEST_F(SonyFrontEndTest, PresetTimeCommandsMapToServerCodes) {
  setZQ_McnPosition(2, 777);
  const std::pair<uint8_t, const char*> withTime[] = {{0x04, "37 (0x25)"}, {0x14, "34 (0x22)"},
                                                      {0x15, "35 (0x23)"}, {0x31, "38 (0x26)"},
                                                      {0x3C, "40 (0x28)"}, {0x78, "36 (0x24)"}};
  for (const auto& [cmd2, code] : withTime) {
    ZQServerRecord_Clear();
    EXPECT_EQ(Parse({0x44, cmd2, 0x00, 0x00, 0x01, 0x00}, 2), Ack());  // 00:01:00:00 EBU
    EXPECT_THAT(ServerLines(),
                ElementsAre(std::string("ZQServer_McnCommandWithTCFrms machine=2 command=") + code +
                            " frames=1500"));
  }
  ZQServerRecord_Clear();
  EXPECT_EQ(Parse({0x40, 0x10}, 2), Ack());
  EXPECT_THAT(ServerLines(),
              ElementsAre("ZQServer_McnCommandWithTCFrms machine=2 command=34 (0x22) frames=777"));
}

TEST_F(SonyFrontEndTest, ArmingStateOfCx59) {
  setZQ_RecordBank(0);  // logical, byte 1
  uint8_t logical[12] = {0, 0x5A};
  uint8_t* buffer = logical;
  setZQ_LogicalReady(&buffer, 0, 0, 12);
  EXPECT_THAT(Parse({0xC0, 0x59}, 2), ElementsAre(0xD2, 0x59, 0x02, 0x5A)) << "p = 1: no bit 6";
  EXPECT_THAT(Parse({0xC0, 0x59}, -1), ElementsAre(0xD2, 0x59, 0x20, 0x5A));
  EXPECT_THAT(Parse({0xC0, 0x59}, 0), ElementsAre(0xD2, 0x59, 0x30, 0x5A));
  EXPECT_THAT(Parse({0xC0, 0x59}, 5), ElementsAre(0xD2, 0x59, 0x10, 0x5A));
  EXPECT_THAT(Parse({0xC0, 0x59}, 6), ElementsAre(0xD2, 0x59, 0x00, 0x5A));
  setZQ_RecordBank(3 * 8 + 1);  // machine 3, byte 2
  setZQ_McnTrackArming(3, 2, 0x33);
  setZQ_McnIsChasing(4, 1);
  EXPECT_THAT(Parse({0xC0, 0x59}, 4), ElementsAre(0xD2, 0x59, 0xC8, 0x33));
}

}  // namespace
