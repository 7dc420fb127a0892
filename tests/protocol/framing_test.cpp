#include <gtest/gtest.h>

#include "SonyBytes.h"
#include "sonyname.h"

namespace {

Bytes RxBytes(const SonyPort& port) {
  return Bytes(port.Rx.bytes.begin(), port.Rx.bytes.begin() + port.Rx.Length());
}

TEST(Extract, OneGoodMessageInOneEvent) {
  SonyPort port;
  ASSERT_TRUE(ReceiveBytes(port, Bytes{0x20, 0x01, 0x21}));
  ASSERT_TRUE(ExtractMessage(port));
  EXPECT_EQ(RxBytes(port), (Bytes{0x20, 0x01, 0x21}));
  EXPECT_EQ(RxText(port), "Rx:20 01 21 ");
  EXPECT_FALSE(ExtractMessage(port));
  EXPECT_EQ(port.ChecksumErrors, 0);
}

TEST(Extract, BadChecksumSlidesOneByteAndLeavesDebris) {
  SonyPort port;
  ReceiveBytes(port, Bytes{0x20, 0x01, 0x22});
  EXPECT_FALSE(ExtractMessage(port));
  EXPECT_EQ(port.ChecksumErrors, 1);
  // 01 now announces a four-byte message; only two bytes are held.
  EXPECT_EQ(port.RxRead, 1);
  EXPECT_EQ(port.RxWrite, 3);

  // A good message that follows is checked against the debris first: it costs one more error
  // and stays behind the 22, which announces five bytes.
  const auto play = Framed({0x20, 0x01});
  ReceiveBytes(port, play);
  EXPECT_FALSE(ExtractMessage(port));
  EXPECT_EQ(port.ChecksumErrors, 2);
  // Once more bytes arrive the ring slides past the debris and both messages come out.
  ReceiveBytes(port, play);
  ASSERT_TRUE(ExtractMessage(port));
  EXPECT_EQ(RxBytes(port), play);
  EXPECT_EQ(port.ChecksumErrors, 3);
  ASSERT_TRUE(ExtractMessage(port));
  EXPECT_EQ(RxBytes(port), play);
  EXPECT_EQ(port.ChecksumErrors, 3);
}

TEST(Extract, MessageSplitOverTwoEvents) {
  SonyPort port;
  ReceiveBytes(port, Bytes{0x20});
  EXPECT_FALSE(ExtractMessage(port));
  ReceiveBytes(port, Bytes{0x01, 0x21});
  EXPECT_TRUE(ExtractMessage(port));
  EXPECT_EQ(port.Rx.Cmd2(), 0x01);
  EXPECT_EQ(port.ChecksumErrors, 0);
}

TEST(Extract, TwoMessagesComeOutOnePerCall) {
  SonyPort port;
  ReceiveBytes(port, Concat({Framed({0x61, 0x0C, 0x01}), Framed({0x20, 0x00})}));
  ASSERT_TRUE(ExtractMessage(port));
  EXPECT_EQ(port.Rx.Cmd1(), 0x61);
  ASSERT_TRUE(ExtractMessage(port));
  EXPECT_EQ(port.Rx.Cmd1(), 0x20);
  EXPECT_EQ(port.Rx.Cmd2(), 0x00);
  EXPECT_FALSE(ExtractMessage(port));
}

TEST(Extract, EighteenByteMessageWaitsForItsLastByte) {
  SonyPort port;
  Bytes body{0x2F, 0x31};
  for (uint8_t i = 0; i < 15; ++i) body.push_back(static_cast<uint8_t>(0x10 + i));
  uint8_t sum = 0;
  for (auto b : body) sum = static_cast<uint8_t>(sum + b);
  Bytes first(body.begin(), body.end());  // 17 bytes, checksum missing
  ReceiveBytes(port, first);
  EXPECT_FALSE(ExtractMessage(port));
  EXPECT_EQ(port.RxLength, 18);
  ReceiveBytes(port, Bytes{sum});
  ASSERT_TRUE(ExtractMessage(port));
  EXPECT_EQ(port.Rx.Length(), 18);
  EXPECT_EQ(port.Rx[17], sum);
  EXPECT_EQ(port.Rx.Data(15), 0x1E);
}

TEST(Extract, MessagesWrapAroundTheRing) {
  SonyPort port;
  for (int round = 0; round < 40; ++round) {
    const auto message = Framed({0x61, 0x0C, static_cast<uint8_t>(round)});
    ReceiveBytes(port, message);
    ASSERT_TRUE(ExtractMessage(port)) << "round " << round;
    EXPECT_EQ(RxBytes(port), message);
  }
  EXPECT_EQ(port.ChecksumErrors, 0);
}

TEST(Receive, BurstOverThirtyIsRefusedAndLeavesRingUnchanged) {
  SonyPort port;
  ReceiveBytes(port, Bytes{0x20});
  const Bytes burst(31, 0x00);
  EXPECT_FALSE(ReceiveBytes(port, burst));
  EXPECT_EQ(port.RxRead, 0);
  EXPECT_EQ(port.RxWrite, 1);
  EXPECT_TRUE(ReceiveBytes(port, Bytes(30, 0x00)));
}

TEST(Receive, OverFillDropsHeldBytesBeforeStoring) {
  // Without the check, 32 or more unread bytes would overwrite the oldest and corrupt framing.
  SonyPort port;
  Bytes stale{0x2F};  // an 18-byte message that never completes
  stale.resize(17, 0x00);
  ReceiveBytes(port, stale);
  EXPECT_FALSE(ExtractMessage(port));
  const auto play = Framed({0x20, 0x01});
  ASSERT_TRUE(ReceiveBytes(port, Concat({play, play, play, play, play})));  // 17 + 15 > 30
  EXPECT_EQ(port.RxRead, 0);
  EXPECT_EQ(port.RxWrite, 15);
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(ExtractMessage(port)) << i;
    EXPECT_EQ(RxBytes(port), play);
  }
  EXPECT_EQ(port.ChecksumErrors, 0);
}

TEST(Receive, HeldPlusNewAtExactlyThirtyIsKept) {
  SonyPort port;
  ReceiveBytes(port, Bytes{0x20});
  ReceiveBytes(port, Bytes(29, 0x00));
  EXPECT_EQ(port.RxRead, 0);
  EXPECT_EQ(port.RxWrite, 30);
  EXPECT_EQ(port.RxRing[0], 0x20);
}

TEST(ChecksumErrors, WrapFromFFToZero) {
  SonyPort port;
  port.ChecksumErrors = 0xFF;
  EXPECT_EQ(HexByte(port.ChecksumErrors), "FF");
  ReceiveBytes(port, Bytes{0x00, 0x00, 0x07});  // one failed start, then too short to try again
  EXPECT_FALSE(ExtractMessage(port));
  EXPECT_EQ(port.ChecksumErrors, 0);
  EXPECT_EQ(HexByte(port.ChecksumErrors), "00");
}

TEST(Frame, AddsChecksumTextAndClearsPending) {
  SonyPort port;
  port.Tx[0] = 0x10;
  port.Tx[1] = 0x01;
  port.CommandPending = true;
  EXPECT_EQ(FrameTx(port), (Bytes{0x10, 0x01, 0x11}));
  EXPECT_EQ(port.TxText, "  Tx 10 01 11 ");
  EXPECT_FALSE(port.CommandPending);
}

TEST(Frame, LongestMessageAndChecksumOverflow) {
  SonyPort port;
  port.Tx[0] = 0x7F;
  port.Tx[1] = 0xFF;
  for (int i = 2; i < 17; ++i) port.Tx[static_cast<std::size_t>(i)] = 0xFF;
  const Bytes out = FrameTx(port);
  ASSERT_EQ(out.size(), 18u);
  uint8_t sum = 0;
  for (std::size_t i = 0; i < 17; ++i) sum = static_cast<uint8_t>(sum + out[i]);
  EXPECT_EQ(out[17], sum);
  EXPECT_EQ(port.TxText.size(), 5u + 18u * 3u);
  EXPECT_EQ(port.TxText.substr(0, 11), "  Tx 7F FF ");
}

TEST(Frame, FramedBytesExtractOnTheOtherSide) {
  SonyPort sender, receiver;
  sender.Tx[0] = 0x74;
  sender.Tx[1] = 0x04;
  sender.Tx[2] = 0x24;
  sender.Tx[3] = 0x59;
  sender.Tx[4] = 0x59;
  sender.Tx[5] = 0x23;
  ReceiveBytes(receiver, FrameTx(sender));
  ASSERT_TRUE(ExtractMessage(receiver));
  EXPECT_EQ(TimeDataText(receiver), "23:59:59:24");
}

}  // namespace
