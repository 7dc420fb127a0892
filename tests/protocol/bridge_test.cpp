// The bridge engine with byte vectors: bytes pass unchanged in both directions, broken bytes are
// passed and marked, and each exchange records the machine's reply time and the bridge's delay.
#include <gtest/gtest.h>

#include "SonyBridge.h"
#include "SonyBytes.h"
#include "sonyname.h"

namespace {

Micros Us(long long us) { return Micros(us); }

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines)
    if (l == line) return true;
  return false;
}

TEST(SonyBridge, AnExchangePassesUnchangedAndIsTimed) {
  SonyBridge bridge(Us(1000000));
  const Bytes request = Framed({0x61, 0x0C, 0x01});
  const Bytes reply = Framed({0x74, 0x04, 0x00, 0x00, 0x00, 0x01});
  // The request arrives in two reads; it goes on when whole.
  BridgeOutput first = bridge.FromEditor(Bytes{request[0], request[1]}, Us(1000100));
  EXPECT_TRUE(first.toMachine.empty());
  BridgeOutput rest = bridge.FromEditor(Bytes{request[2], request[3]}, Us(1000900));
  EXPECT_EQ(rest.toMachine, request);
  EXPECT_TRUE(rest.toEditor.empty());
  EXPECT_EQ(rest.captureLines,
            (std::vector<std::string>{"0.000100 A rx msg 61 0C 01 6E | CURRENT TIME SENSE LTC",
                                      "0.000900 B tx msg 61 0C 01 6E | CURRENT TIME SENSE LTC"}));
  BridgeOutput back = bridge.FromMachine(reply, Us(1003900));
  EXPECT_EQ(back.toEditor, reply);
  EXPECT_TRUE(back.toMachine.empty());
  EXPECT_EQ(back.captureLines,
            (std::vector<std::string>{
                "0.003900 B rx msg 74 04 00 00 00 01 79 | LTC TIME DATA 01:00:00:00",
                "0.003900 A tx msg 74 04 00 00 00 01 79 | LTC TIME DATA 01:00:00:00"}));
  ASSERT_EQ(bridge.Exchanges().size(), 1u);
  EXPECT_EQ(bridge.Exchanges()[0].machineReplyTime, Us(3000));  // 0.0009 -> 0.0039
  EXPECT_EQ(bridge.Exchanges()[0].bridgeDelay, Us(800));  // the request took 0.8 ms to come whole
  EXPECT_EQ(back.decodedLines.back(),
            "A          0.003900 Tx 74 04 00 00 00 01 79  LTC TIME DATA 01:00:00:00  read-to-write "
            "3.000 ms  machine 3.000 ms  held 0.800 ms");
  EXPECT_TRUE(Has(rest.decodedLines, "B          0.000900 Tx 61 0C 01 6E  CURRENT TIME SENSE LTC"));
  EXPECT_TRUE(Has(back.decodedLines,
                  "B          0.003900 Rx 74 04 00 00 00 01 79  LTC TIME DATA 01:00:00:00"));
  EXPECT_NE(bridge.Summary().find("1 exchanges  machine: n 1  min 3.000 ms"), std::string::npos)
      << bridge.Summary();
}

TEST(SonyBridge, BrokenBytesPassMarkedAndAskForNoReply) {
  SonyBridge bridge(Us(0));
  // A bad checksum waits for the quiet gap (or the next message), then goes on unchanged.
  EXPECT_TRUE(bridge.FromEditor(Bytes{0x20, 0x01, 0x22}, Us(100)).toMachine.empty());
  BridgeOutput flushed = bridge.Poll(Us(100) + MessageFramer::kQuietGap);
  EXPECT_EQ(flushed.toMachine, (Bytes{0x20, 0x01, 0x22}));
  EXPECT_EQ(flushed.captureLines.front(), "0.000100 A rx bad 20 01 22 | PLAY [bad checksum]");
  // The machine's ACK to nothing is passed on but is no exchange.
  BridgeOutput ack = bridge.FromMachine(Framed({0x10, 0x01}), Us(30000));
  EXPECT_EQ(ack.toEditor, Framed({0x10, 0x01}));
  EXPECT_TRUE(bridge.Exchanges().empty());
  // Debris from the machine ahead of a good reply goes first, marked.
  bridge.FromEditor(Framed({0x20, 0x01}), Us(40000));
  BridgeOutput mixed =
      bridge.FromMachine(Concat({{0x20, 0x01, 0x22, 0xFF}, Framed({0x10, 0x01})}), Us(41000));
  EXPECT_EQ(mixed.toEditor, Concat({{0x20, 0x01, 0x22, 0xFF}, Framed({0x10, 0x01})}));
  EXPECT_EQ(mixed.captureLines[0], "0.041000 B rx debris 20 01 22 FF | debris");
  EXPECT_EQ(bridge.Exchanges().size(), 1u);
}

TEST(SonyBridge, AnUnansweredRequestIsNoExchange) {
  SonyBridge bridge(Us(0));
  bridge.FromEditor(Framed({0x00, 0x11}), Us(10));
  bridge.FromEditor(Framed({0x20, 0x00}), Us(50000));
  bridge.FromMachine(Framed({0x10, 0x01}), Us(51000));
  ASSERT_EQ(bridge.Exchanges().size(), 1u);
  EXPECT_EQ(bridge.Exchanges()[0].machineReplyTime, Us(1000));
}

}  // namespace

namespace {

// A message the machine had begun before the request went on answers something else: counting
// it gave negative machine times (a finding of the bridge fuzz target).
TEST(SonyBridge, AMessageBegunBeforeTheRequestIsNoReplyToIt) {
  SonyBridge bridge(Us(0));
  bridge.FromMachine(Bytes{0x10}, Us(100));
  EXPECT_EQ(bridge.FromEditor(Framed({0x20, 0x01}), Us(200)).toMachine, Framed({0x20, 0x01}));
  EXPECT_EQ(bridge.FromMachine(Bytes{0x01, 0x11}, Us(300)).toEditor, Framed({0x10, 0x01}));
  EXPECT_TRUE(bridge.Exchanges().empty());
  bridge.FromMachine(Framed({0x10, 0x01}), Us(900));
  ASSERT_EQ(bridge.Exchanges().size(), 1u);
  EXPECT_EQ(bridge.Exchanges()[0].machineReplyTime, Us(700));
}

}  // namespace
