// Port B's link health as the controller counts it: polls, replies, polls that ran out, the
// "lost" state after three unanswered polls and its recovery, and the texts the window shows.
#include <gtest/gtest.h>

#include "ControllerTestBytes.h"
#include "MachineController.h"

namespace {

const Bytes kTime = Framed({0x74, 0x04, 0x01, 0x02, 0x03, 0x04});

// Runs `ticks` frame ticks on an open port; returns how many polls went out.
int Ticks(MachineController& controller, int ticks) {
  int polls = 0;
  for (int i = 0; i < ticks; ++i) polls += static_cast<int>(controller.FrameTick(true).size());
  return polls;
}

TEST(LinkHealth, SilentMachineIsLostAfterThreeUnansweredPollsAndRecoversOnAReply) {
  MachineController controller;
  // Polls go out at ticks 0, 5, 10, 15: the second, third and fourth each find the one before
  // unanswered.
  EXPECT_EQ(Ticks(controller, 11), 3);
  EXPECT_EQ(controller.Health().timeouts, 2u);
  EXPECT_FALSE(controller.Health().Lost());
  EXPECT_EQ(Ticks(controller, 5), 1);
  EXPECT_TRUE(controller.Health().Lost()) << "three polls without an answer";
  EXPECT_EQ(controller.Health().requests, 4u);
  EXPECT_EQ(controller.Health().replies, 0u);

  controller.SerialBTriggerAvail(kTime, Micros{1'500'000});
  const LinkHealth health = controller.Health();
  EXPECT_FALSE(health.Lost()) << "one reply brings the machine back";
  EXPECT_EQ(health.replies, 1u);
  EXPECT_EQ(health.lastReply, Micros{1'500'000});
  EXPECT_EQ(health.timeouts, 3u) << "counts stay: they are the link's history";
}

TEST(LinkHealth, AnsweredPollsCountNoTimeoutAndBadChecksumsAreCounted) {
  MachineController controller;
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(Ticks(controller, 1), 1);
    controller.SerialBTriggerAvail(kTime, Micros{i * 40'000});
  }
  Bytes broken = kTime;
  broken.back() ^= 0xFF;
  Ticks(controller, 1);
  controller.SerialBTriggerAvail(broken, Micros{999'000});
  const LinkHealth health = controller.Health();
  EXPECT_EQ(health.requests, 6u);
  EXPECT_EQ(health.replies, 5u) << "a reply with a bad checksum is no reply";
  EXPECT_EQ(health.timeouts, 0u) << "its poll has not run out yet";
  EXPECT_EQ(health.checksumErrors, 1);
  EXPECT_EQ(health.lastReply, Micros{160'000});
}

TEST(LinkHealth, ClosingPortBForgetsThePollsInFlight) {
  MachineController controller;
  Ticks(controller, 16);
  ASSERT_TRUE(controller.Health().Lost());
  controller.FrameTick(false);
  EXPECT_FALSE(controller.Health().Lost()) << "a closed port has asked nothing";
  Ticks(controller, 5);
  EXPECT_EQ(controller.Health().timeouts, 3u) << "the poll cut off by the close is no timeout";
}

TEST(LinkHealth, AgeOfTheLastReplyReadsInHundredthsThenWholeSeconds) {
  LinkHealth health;
  EXPECT_EQ(ReplyAgeText(health, Micros{5'000'000}), "none");
  health.Requested();
  health.Requested();
  health.TimedOut();
  health.Replied(Micros{1'000'000});
  EXPECT_EQ(ReplyAgeText(health, Micros{1'040'000}), "0.04 s");
  EXPECT_EQ(health.unanswered, 0) << "the reply ended the run of timeouts";
  EXPECT_EQ(ReplyAgeText(health, Micros{43'000'000}), "42 s");
  EXPECT_EQ(ReplyAgeText(health, Micros{0}), "0.00 s") << "a clock that went back";
}

}  // namespace
