#include <gtest/gtest.h>

#include "sonyname.h"

namespace {

void SetStatusReply(SonyPort& port, int start, std::initializer_list<uint8_t> data) {
  port.SenseStart = start;
  port.Rx[0] = static_cast<uint8_t>(0x70 | data.size());
  port.Rx[1] = static_cast<uint8_t>(0x20 | data.size());
  int i = 2;
  for (uint8_t b : data) port.Rx[static_cast<std::size_t>(i++)] = b;
}

std::string Tally(uint8_t s0, uint8_t s1, uint8_t s2, uint8_t s4 = 0) {
  SonyPort port;
  port.Status[0] = s0;
  port.Status[1] = s1;
  port.Status[2] = s2;
  port.Status[4] = s4;
  DecodeStatus(port);
  return port.TallyText;
}

TEST(Decode, PlayForward) {
  SonyPort port;
  port.Status[1] = 0x81;
  port.Status[2] = 0x80;
  DecodeStatus(port);
  EXPECT_EQ(port.TallyText, "Play");
  EXPECT_TRUE(port.Forward);
  EXPECT_EQ(port.TransportMode, 1);
  EXPECT_TRUE(port.Remote);
}

TEST(Decode, TallyTextsCombineModeSpeedAndCue) {
  EXPECT_EQ(Tally(0, 0xA0, 0x01), "Stop+Cued");
  EXPECT_EQ(Tally(0, 0x04, 0x00), "Fast Fwd");
  EXPECT_EQ(Tally(0, 0x08, 0x04), "Fast Rvs");
  EXPECT_EQ(Tally(0, 0x10, 0x00), "Ejecting");
  EXPECT_EQ(Tally(0, 0x00, 0x20), "Shuttle");
  EXPECT_EQ(Tally(0, 0x00, 0x10), "Jog");
  EXPECT_EQ(Tally(0, 0x03, 0x08), "Record+Play+Vari-Ply");
  EXPECT_EQ(Tally(0, 0x00, 0x01), "Cued");
  EXPECT_EQ(Tally(0, 0x00, 0x00), "");
  // Locate replaces Cued; the whole text is cut to 20 characters.
  EXPECT_EQ(Tally(0, 0x20, 0x01, 0x01), "Stop+Locate");
  EXPECT_EQ(Tally(0, 0x03, 0x09, 0x01), "Record+Play+Vari-Ply");
  // Unknown mode and speed values give no text.
  EXPECT_EQ(Tally(0, 0x02, 0x18), "");
}

TEST(Decode, Flags) {
  SonyPort port;
  port.Status[0] = 0x01;
  port.Status[1] = 0x02;
  port.Status[2] = 0x06;
  port.Status[4] = 0x01;
  DecodeStatus(port);
  EXPECT_FALSE(port.Remote);
  EXPECT_TRUE(port.EditLamp);
  EXPECT_TRUE(port.Still);
  EXPECT_FALSE(port.Forward);
  EXPECT_TRUE(port.GotoLamp);
  EXPECT_FALSE(port.Cued);
  port.Status[1] = 0;
  port.Status[4] = 0x10;
  DecodeStatus(port);
  EXPECT_TRUE(port.EditLamp);
}

TEST(Store, OnlyChangesRunTheDecoder) {
  SonyPort port;
  SetStatusReply(port, 0, {0x00, 0x81, 0x80, 0x00});
  EXPECT_TRUE(StoreStatus(port));
  EXPECT_EQ(port.TallyText, "Play");
  port.TallyText = "marker";
  EXPECT_FALSE(StoreStatus(port));
  EXPECT_EQ(port.TallyText, "marker");
}

TEST(Store, StartsAtSenseStartAndStopsAtS15) {
  SonyPort port;
  SetStatusReply(port, 14, {0x11, 0x22, 0x33, 0x44});
  EXPECT_TRUE(StoreStatus(port));
  EXPECT_EQ(port.Status[14], 0x11);
  EXPECT_EQ(port.Status[15], 0x22);
  EXPECT_EQ(port.Status[0], 0x00);
}

TEST(Time, FormatAndFlags) {
  SonyMessage m;
  m[0] = 0x74;
  m[1] = 0x04;
  m[2] = 0x24;
  m[3] = 0x59;
  m[4] = 0x59;
  m[5] = 0x23;
  EXPECT_EQ(FormatSonyTime(m, false), "23:59:59:24");
  EXPECT_EQ(FormatSonyTime(m, true), "23;59;59;24");
  m[5] = 0xA3;  // bit 7 of hours is shown as a star and masked out of the hours
  m[2] = 0x64;  // drop-frame flag in the frames byte is masked out of the frames
  EXPECT_EQ(FormatSonyTime(m, false), "23:59:59:24*");
}

TEST(Time, TimeDataTextTakesDropFrameFromFramesByte) {
  SonyPort port;
  port.Rx[0] = 0x74;
  port.Rx[1] = 0x04;
  port.Rx[2] = 0x42;
  port.Rx[3] = 0x00;
  port.Rx[4] = 0x10;
  port.Rx[5] = 0x01;
  EXPECT_EQ(TimeDataText(port), "01;10;00;02");
  EXPECT_TRUE(port.DropFrame);
  port.Rx[2] = 0x02;
  EXPECT_EQ(TimeDataText(port), "01:10:00:02");
  EXPECT_FALSE(port.DropFrame);
}

}  // namespace
