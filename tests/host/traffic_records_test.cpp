// The traffic recorder's records: the decoded messages a window lays out on one clock.
#include <gtest/gtest.h>

#include "SonyBridge.h"
#include "TrafficRecorder.h"

TEST(TrafficRecordsTest, RecordsCarryHostTimesBothByteTimesAndTheDecodedText) {
  TrafficRecorder recorder;
  recorder.PortOpened('A', Micros(1000000));
  recorder.PortOpened('B', Micros(5000000));
  const std::vector<uint8_t> sense{0x61, 0x0C, 0x01, 0x6E};
  recorder.Received('A', sense, Micros(2000000));  // not decoding: nothing kept
  EXPECT_TRUE(recorder.TakeRecords().empty());

  recorder.SetDecoding(true);
  recorder.Received('A', std::span(sense).first(2), Micros(3000000));
  recorder.Received('A', std::span(sense).subspan(2), Micros(3000500));
  const std::vector<uint8_t> play{0x20, 0x01, 0x21};
  recorder.Sent('B', play, Micros(6000000));
  const std::vector<CaptureRecord> records = recorder.TakeRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].time, Micros(3000000)) << "the host clock, not the port's";
  EXPECT_EQ(records[0].lastByte, Micros(3000500));
  EXPECT_EQ(records[0].port, "A");
  EXPECT_EQ(records[0].direction, Direction::Rx);
  EXPECT_EQ(records[0].bytes, sense);
  EXPECT_NE(records[0].text.find("CURRENT TIME SENSE"), std::string::npos) << records[0].text;
  EXPECT_EQ(records[1].port, "B");
  EXPECT_EQ(records[1].direction, Direction::Tx);
  EXPECT_TRUE(recorder.TakeRecords().empty()) << "taken once";
}

TEST(TrafficRecordsTest, BridgedCaptureLinesBecomeRecordsFromTheBridgesOrigin) {
  TrafficRecorder recorder;
  recorder.SetDecoding(true);
  recorder.SetBridgeOrigin(Micros(7000000));
  BridgeOutput output;
  output.captureLines = {"0.250000 B rx bad 20 01 22 | PLAY [bad checksum]", "not a line"};
  recorder.Bridged(output);
  const std::vector<CaptureRecord> records = recorder.TakeRecords();
  ASSERT_EQ(records.size(), 1u) << "a line that does not parse is left to the file";
  EXPECT_EQ(records[0].time, Micros(7250000));
  EXPECT_EQ(records[0].kind, FrameKind::BadChecksum);
  EXPECT_EQ(records[0].bytes, (std::vector<uint8_t>{0x20, 0x01, 0x22}));
}
