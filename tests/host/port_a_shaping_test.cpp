// Port A's shaped replies on the host loop, on a fake clock: what is due goes out with the event,
// the rest when Fire reaches its time, in order; a closed port forgets what waited.
#include <gtest/gtest.h>

#include "PortAShaping.h"
#include "SonyBytes.h"

namespace {

using Clock = PortAShaping::Clock;
using std::chrono::microseconds;

struct Shaping {
  Shaping() : shaping(vm, [this](const Bytes& bytes) { written.push_back(bytes); }) {
    vm.FormShow();
  }
  PortAShaping::Event Send(std::initializer_list<uint8_t> body, Clock::time_point at) {
    return shaping.DataAvailable(Framed(body), {}, at);
  }
  VirtualMachine vm;
  std::vector<Bytes> written;
  PortAShaping shaping;
};

const Clock::time_point t0 = Clock::time_point(std::chrono::seconds(100));
const Bytes kAck = Framed({0x10, 0x01});

TEST(PortAShaping, ThePlainMachineAnswersWithTheEvent) {
  Shaping s;
  EXPECT_EQ(s.Send({0x20, 0x01}, t0).dueNow, kAck);
  EXPECT_FALSE(s.shaping.NextDue());
  EXPECT_EQ(s.shaping.Current().name, "ideal");
}

TEST(PortAShaping, DelayedRepliesGoOutWhenDueInOrder) {
  Shaping s;
  Personality p;
  p.timing.replyDelayUs = 4000;
  s.shaping.Use(p);
  EXPECT_TRUE(s.Send({0x20, 0x01}, t0).dueNow.empty());
  EXPECT_TRUE(s.Send({0x60, 0x36}, t0 + microseconds(1000)).dueNow.empty());
  EXPECT_EQ(s.shaping.NextDue(), t0 + microseconds(4000));
  s.shaping.Fire(t0 + microseconds(3999));
  EXPECT_TRUE(s.written.empty());
  s.shaping.Fire(t0 + microseconds(4000));
  EXPECT_EQ(s.written, std::vector<Bytes>{kAck});
  EXPECT_EQ(s.shaping.NextDue(), t0 + microseconds(5000));
  s.shaping.Fire(t0 + microseconds(9000));  // a late timer sends what is due, once
  EXPECT_EQ(s.written, (std::vector<Bytes>{kAck, Framed({0x71, 0x36, 0x00})}));
  EXPECT_FALSE(s.shaping.NextDue());
}

TEST(PortAShaping, TimeOutsAndAClosedPort) {
  Shaping s;
  Personality p;
  p.timing.receiveTimeoutUs = 10000;
  p.timing.replyDelayUs = 1000;
  p.errors.nakTimeout = true;
  s.shaping.Use(p);
  s.shaping.DataAvailable(Bytes{0x61}, {}, t0);
  EXPECT_EQ(s.shaping.NextDue(), t0 + microseconds(10000));
  s.shaping.Fire(t0 + microseconds(10000));  // drops the byte; the NAK waits for the delay
  EXPECT_TRUE(s.written.empty());
  EXPECT_EQ(s.shaping.NextDue(), t0 + microseconds(11000));
  s.shaping.Fire(t0 + microseconds(11000));
  EXPECT_EQ(s.written, std::vector<Bytes>{Framed({0x11, 0x12, 0x80})});

  s.Send({0x20, 0x01}, t0 + microseconds(20000));
  s.shaping.PortClosed();
  EXPECT_FALSE(s.shaping.NextDue());
  s.shaping.Fire(t0 + microseconds(30000));
  EXPECT_EQ(s.written.size(), 1u);
}

}  // namespace
