// The editor census of a scripted editor: exact counts of its commands, overlaps, gaps, bad
// checksums and stray bytes, with the virtual machine answering.
#include <gtest/gtest.h>

#include "EditorCensus.h"
#include "SonyBytes.h"
#include "VirtualMachine.h"

namespace {

using namespace std::chrono_literals;

struct Line {
  EditorCensus census;
  VirtualMachine vm;
  Micros now{0};

  // The editor's bytes arrive at `at`; the machine answers at once, as on port A.
  void Send(const Bytes& bytes, Micros at) {
    now = at;
    census.Received(bytes, at);
    const VmEventResult result = vm.DataAvailable(bytes, VmEventContext{});
    for (const VmExchange& exchange : result.exchanges) census.Sent(exchange.reply, at);
  }
};

TEST(EditorCensus, ScriptedEditorIsCountedExactly) {
  Line line;
  const Bytes time = Framed({0x61, 0x0C, 0x01});
  const Bytes status = Framed({0x61, 0x20, 0x0F});
  Micros at{0};
  // Ten time requests, one every 40 ms.
  for (int i = 0; i < 10; ++i, at += 40ms) line.Send(time, at);
  // Two requests in one write: the second goes before the reply to the first.
  line.Send(Concat({status, Framed({0x20, 0x01})}), at);
  at += 40ms;
  // A request with a 5 ms pause in its middle.
  line.Send({0x61, 0x20}, at);
  line.Send({0x0F, 0x90}, at + 5ms);
  at += 40ms;
  // A bad checksum, then three bytes that start nothing, then a good request.
  line.Send({0x61, 0x0C, 0x01, 0x00}, at);
  at += 40ms;
  line.Send(Concat({{0x05, 0x05, 0x05}, time}), at);
  line.census.Flush(at + 1s);
  const EditorCensusResult result = line.census.Result(at + 1s);

  EXPECT_EQ(result.messages, 14);
  ASSERT_EQ(result.commands.size(), 3u);
  EXPECT_EQ(result.commands[0].request, "61 0C");
  EXPECT_EQ(result.commands[0].name, "CURRENT TIME SENSE");
  EXPECT_EQ(result.commands[0].count, 11);
  EXPECT_EQ(result.commands[1].request, "61 20");
  EXPECT_EQ(result.commands[1].count, 2);
  EXPECT_EQ(result.commands[2].name, "PLAY");
  EXPECT_EQ(result.overlapped, 1);
  EXPECT_EQ(result.gaps, 1);
  EXPECT_NEAR(result.longestGapMs, 5.0 - 3 * 0.287, 0.001);
  EXPECT_EQ(result.checksumErrors, 1);
  EXPECT_EQ(result.debrisBytes, 3);
  // 13 intervals: 9 x 40, 40 and 0 for the pair, 40 to the paused one, 80 past the bad message.
  ASSERT_EQ(result.intervalsMs.size(), 13u);
  EXPECT_DOUBLE_EQ(result.pollInterval.median, 40.0);
  EXPECT_DOUBLE_EQ(result.pollInterval.max, 80.0);
  EXPECT_DOUBLE_EQ(result.intervalsMs[10], 0.0);
  EXPECT_DOUBLE_EQ(result.seconds, 1.52);
  EXPECT_EQ(result.Faults(),
            (std::vector<std::string>{
                "1 messages with a bad checksum", "3 bytes that started no message",
                "1 messages with a pause inside",
                "1 requests sent before the previous reply"}));  // from the first byte to the end
                                                                 // of the run
}

TEST(EditorCensus, AnUnansweredRequestIsGivenUpAfterTheEditorWaited) {
  EditorCensus census;
  const Bytes request = Framed({0x61, 0x0C, 0x01});
  census.Received(request, Micros{0});
  census.Received(request, Micros{10000});   // before any reply: overlaps
  census.Received(request, Micros{400000});  // both earlier ones long given up: no overlap
  census.Sent(Framed({0x10, 0x01}), Micros{400500});
  census.Received(request, Micros{401000});  // its reply went out: no overlap
  EXPECT_EQ(census.Result(Micros{500000}).overlapped, 1);
}

TEST(EditorCensus, AnEditorThatWaitsForEachReplyNeverOverlaps) {
  Line line;
  for (int i = 0; i < 20; ++i) line.Send(Framed({0x61, 0x20, 0x0F}), Micros{i * 10000});
  const EditorCensusResult result = line.census.Result(200ms);
  EXPECT_EQ(result.overlapped, 0);
  EXPECT_EQ(result.gaps, 0);
  EXPECT_EQ(result.commands.at(0).count, 20);
  EXPECT_TRUE(result.Faults().empty());
}

}  // namespace
