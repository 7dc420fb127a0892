// Loops, the streamer data and the stop counter.
#include <gmock/gmock.h>

#include "ModelFixture.h"
#include "VyoModel.h"

using namespace modeltest;
using ::testing::ElementsAre;

namespace {

class LoopStoreTest : public ModelTest {};

uint8_t LoopFlag() { return Raw()[9109]; }

TEST_F(LoopStoreTest, AdrLoopRaisesFlag6OnChangeAndTracksTheHighestEntry) {
  uint8_t bytes[256];
  for (int i = 0; i < 256; ++i) bytes[i] = uint8_t(i);
  uint8_t* buffer = bytes;
  setZQ_ADRLoop(&buffer, 10, 4, 14);
  EXPECT_EQ(LoopFlag(), 1);
  EXPECT_EQ(RawAt<uint16_t>(9118), 4);
  Raw()[9109] = 0;
  setZQ_ADRLoop(&buffer, 10, 4, 14);
  EXPECT_EQ(LoopFlag(), 0) << "unchanged";
  setZQ_ADRLoop(&buffer, 0, 2, 1);
  EXPECT_EQ(RawAt<uint16_t>(9118), 4) << "not lowered";

  uint8_t out[16] = {};
  uint8_t* outBuffer = out;
  getZQ_ADRLoop(&outBuffer, 3, 4, 2);
  EXPECT_THAT(std::vector<uint8_t>(out, out + 3), ElementsAre(13, 14, 0));

  setZQ_ADRLoop(&buffer, 250, 255, 20);  // runs on into entry 256, inside the loop area
  EXPECT_EQ(Raw()[9120 + 14 * 255], 250);
  EXPECT_EQ(Raw()[9120 + 14 * 256], 8) << "the caller's index wrapped at 256";
}

TEST_F(LoopStoreTest, LoopDataAnswersEntriesUpToTheHighest) {
  uint8_t entry[14] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  uint8_t* buffer = entry;
  setZQ_ADRLoop(&buffer, 0, 4, 14);
  uint8_t data[16];
  std::memset(data, 0xEE, sizeof data);
  uint8_t* dataBuffer = data;
  data[0] = 5;
  get_loopdata(&dataBuffer);
  EXPECT_EQ(data[1], 0);
  EXPECT_EQ(data[2], 0xEE) << "the rest is left";
  data[0] = 4;
  get_loopdata(&dataBuffer);
  EXPECT_EQ(data[1], 5);
  EXPECT_EQ(data[2], 1);
  EXPECT_EQ(data[15], 14);
}

TEST_F(LoopStoreTest, CurrentLoopBytes) {
  uint8_t loop[13] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x10, 0x11, 0x12, 0x13, 0x20, 0x2C, 0x30};
  uint8_t* buffer = loop;
  setZQ_currLoop(&buffer);
  EXPECT_EQ(LoopFlag(), 1);
  uint8_t in[4], out[4];
  getzq_loopin(in);
  getzq_loopout(out);
  EXPECT_THAT(in, ElementsAre(0x03, 0x02, 0x01, 0x00));
  EXPECT_THAT(out, ElementsAre(0x06, 0x05, 0x04, 0x00));
  EXPECT_EQ(getzq_loopcmd(), 0x2C);

  uint8_t number[4] = {};
  uint8_t* numberBuffer = number;
  getZQ_LoopNumb(&numberBuffer);
  EXPECT_THAT(number, ElementsAre(0x10, 0x11, 0x12, 0x13));
  Raw()[9109] = 0;
  setZQ_LoopNumb(&numberBuffer);
  EXPECT_EQ(LoopFlag(), 0) << "unchanged";
  number[3] = 0x99;
  setZQ_LoopNumb(&numberBuffer);
  EXPECT_EQ(LoopFlag(), 1);
  uint8_t all[13] = {};
  uint8_t* allBuffer = all;
  getZQ_currLoop(&allBuffer);
  EXPECT_EQ(all[9], 0x99);
  EXPECT_EQ(all[12], 0x30);
}

TEST_F(LoopStoreTest, StreamerDataIsMachine24) {
  setZQ_McnTrackArming(24, 0, 0xA0);
  setZQ_McnTrackArming(24, 7, 0xA7);
  setZQ_McnTrackArming(24, 8, 0xA8);
  setZQ_McnStatus4(24, 0x08);  // standard 2
  uint8_t data[10];
  std::memset(data, 0xEE, sizeof data);
  uint8_t* buffer = data;
  get_streamerdata(&buffer);
  EXPECT_THAT(data, ElementsAre(0xA0, 0, 0, 0, 0, 0, 0, 0xA7, 2, 0xEE));
}

TEST_F(LoopStoreTest, StopCounterSignalsTheHundredthStopOnly) {
  ResetStopCounter();
  int signalled = 0;
  for (int i = 1; i <= 101; ++i) {
    if (IncStopCounter()) {
      ++signalled;
      EXPECT_EQ(i, 100);
    }
  }
  EXPECT_EQ(signalled, 1);
  Raw()[9100] = 0xFF;
  Raw()[9101] = 0xFF;
  EXPECT_EQ(IncStopCounter(), 0);
  EXPECT_EQ(RawAt<uint16_t>(9100), 0) << "16-bit, wrapping";
  ResetStopCounter();
  EXPECT_EQ(RawAt<uint16_t>(9100), 0);
}

}  // namespace
