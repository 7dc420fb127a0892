// Which exchanges a replay plays from a capture, and how it compares replies.
#include <gtest/gtest.h>

#include "ReplayScript.h"
#include "SonyBytes.h"
#include "sonyname.h"

namespace {

CaptureRecord Rec(char port, Direction direction, Bytes bytes,
                  FrameKind kind = FrameKind::Message) {
  CaptureRecord r;
  r.port = std::string(1, port);
  r.direction = direction;
  r.bytes = std::move(bytes);
  r.kind = kind;
  return r;
}

TEST(ReplayScript, PortAsRequestsWithTheirReplies) {
  const std::vector<CaptureRecord> records = {
      Rec('A', Direction::Rx, Framed({0x61, 0x0C, 0x01})),
      Rec('A', Direction::Tx, Framed({0x74, 0x04, 0, 0, 0, 0})),
      Rec('B', Direction::Tx, Framed({0x61, 0x0C, 0x01})),  // a bridge's copy: not played
      Rec('A', Direction::Rx, {0x20, 0x01, 0x22}, FrameKind::BadChecksum),
      Rec('A', Direction::Rx, Framed({0x20, 0x01})),
      Rec('A', Direction::Tx, {0x55}, FrameKind::Debris),
      Rec('A', Direction::Tx, Framed({0x10, 0x01})),
      Rec('A', Direction::Tx, Framed({0x10, 0x01})),  // a second answer belongs to no request
  };
  const std::vector<ReplayExchange> exchanges = ReplayExchanges(records);
  ASSERT_EQ(exchanges.size(), 3u);
  EXPECT_EQ(exchanges[0].request, Framed({0x61, 0x0C, 0x01}));
  EXPECT_EQ(exchanges[0].reply, Framed({0x74, 0x04, 0, 0, 0, 0}));
  EXPECT_EQ(exchanges[1].requestKind, FrameKind::BadChecksum);
  EXPECT_FALSE(exchanges[1].reply.has_value());
  EXPECT_EQ(exchanges[2].reply, Framed({0x10, 0x01}));
}

TEST(ReplayScript, AControllersCaptureIsPlayedFromItsSentMessages) {
  const std::vector<CaptureRecord> records = {
      Rec('B', Direction::Tx, Framed({0x00, 0x11})),
      Rec('B', Direction::Rx, Framed({0x12, 0x11, 0xF1, 0x1D})),
  };
  const std::vector<ReplayExchange> exchanges = ReplayExchanges(records);
  ASSERT_EQ(exchanges.size(), 1u);
  EXPECT_EQ(exchanges[0].request, Framed({0x00, 0x11}));
  EXPECT_EQ(exchanges[0].reply, Framed({0x12, 0x11, 0xF1, 0x1D}));
}

TEST(ReplayScript, MovingFieldsComparedByForm) {
  const auto time = [](uint8_t cmd2, uint8_t frames) {
    return Framed({0x74, cmd2, frames, 0x10, 0x00, 0x01});
  };
  EXPECT_TRUE(RepliesMatch(time(0x04, 0x00), time(0x04, 0x12), false));
  EXPECT_FALSE(RepliesMatch(time(0x04, 0x00), time(0x04, 0x12), true));
  EXPECT_FALSE(RepliesMatch(time(0x04, 0x00), time(0x06, 0x00), false)) << "another kind of time";
  EXPECT_TRUE(RepliesMatch(Framed({0x96, 0x01, 0, 0, 0, 0, 0, 0x02}),
                           Framed({0x96, 0x01, 5, 0, 0, 0, 0, 0x02}), false));
  EXPECT_FALSE(RepliesMatch(Framed({0x96, 0x01, 0, 0, 0, 0, 0, 0x02}),
                            Framed({0x96, 0x01, 0, 0, 0, 0, 0, 0x00}), false))
      << "change flags are not time";
  EXPECT_FALSE(RepliesMatch(Framed({0x71, 0x20, 0x81}), Framed({0x71, 0x20, 0xA0}), false))
      << "status is state";
  EXPECT_FALSE(
      RepliesMatch(Framed({0x12, 0x11, 0xF1, 0x1D}), Framed({0x12, 0x11, 0xD1, 0xE1}), false));
  EXPECT_FALSE(RepliesMatch(Framed({0x10, 0x01}), Framed({0x74, 0x04, 0, 0, 0, 0}), false));
  EXPECT_TRUE(RepliesMatch(std::nullopt, std::nullopt, false));
  EXPECT_FALSE(RepliesMatch(Framed({0x10, 0x01}), std::nullopt, false));
  EXPECT_FALSE(RepliesMatch(std::nullopt, Framed({0x10, 0x01}), false));
}

TEST(ReplayScript, ReplyTimeFigures) {
  EXPECT_EQ(ReplyTimeSummary({}), "no replies");
  EXPECT_EQ(ReplyTimeSummary({Micros(300), Micros(100), Micros(200)}),
            "n 3  min 0.100 ms  median 0.200 ms  p99 0.300 ms  max 0.300 ms");
}

}  // namespace
