// Pacing of the poll sequencer and the receive side of port B.
#include <gtest/gtest.h>

#include "ControllerTestBytes.h"
#include "MachineController.h"

namespace {

using RxOutcome = MachineController::RxOutcome;

// The single write of a tick, or empty when the tick sent nothing.
Bytes TickWrite(MachineController& controller, bool open = true) {
  const std::vector<Bytes> writes = controller.FrameTick(open);
  if (writes.empty()) return {};
  EXPECT_EQ(writes.size(), 1u);
  return writes.front();
}

const Bytes kTime = Framed({0x74, 0x04, 0x01, 0x02, 0x03, 0x04});

TEST(PollPacing, AnsweringMachineIsPolledEveryTick) {
  MachineController controller;
  const Bytes expected[] = {kTimeSense,   kStatusSense,       kTimeSense,
                            kPresetSense, kTimeSense,         kStatusSense,
                            kTimeSense,   kDeviceTypeRequest, kTimeSense};
  for (const Bytes& request : expected) {
    EXPECT_EQ(TickWrite(controller), request);
    EXPECT_EQ(controller.SerialBTriggerAvail(kTime), RxOutcome::Handled);
  }
}

TEST(PollPacing, SilentMachineIsPolledEveryFifthTickInStepOrder) {
  MachineController controller;
  std::vector<int> sentAt;
  std::vector<Bytes> sent;
  for (int tick = 0; tick < 16; ++tick) {
    Bytes write = TickWrite(controller);
    if (!write.empty()) {
      sentAt.push_back(tick);
      sent.push_back(write);
    }
  }
  EXPECT_EQ(sentAt, (std::vector<int>{0, 5, 10, 15}));
  EXPECT_EQ(sent, (std::vector<Bytes>{kTimeSense, kStatusSense, kTimeSense, kPresetSense}));
}

TEST(PollPacing, ClosedPortSendsNothingAndKeepsItsPlace) {
  MachineController controller;
  EXPECT_EQ(TickWrite(controller), kTimeSense);
  for (int tick = 0; tick < 10; ++tick) EXPECT_TRUE(controller.FrameTick(false).empty());
  EXPECT_EQ(controller.PollCountdown(), 5);  // the countdown stands still while closed
  controller.SerialBTriggerAvail(kTime);
  EXPECT_EQ(TickWrite(controller), kStatusSense);
}

TEST(QueuedCommand, TakesTheNextSlotAndTheCycleResumes) {
  MachineController controller;
  EXPECT_EQ(TickWrite(controller), kTimeSense);
  controller.kplayClick(MachineController::kTagPlay);  // queued while the countdown runs
  for (int tick = 0; tick < 4; ++tick) EXPECT_TRUE(TickWrite(controller).empty());
  EXPECT_EQ(TickWrite(controller), Framed({0x20, 0x01}));
  EXPECT_FALSE(controller.Port().CommandPending);
  controller.SerialBTriggerAvail(kAck);
  EXPECT_EQ(TickWrite(controller), kStatusSense);  // the step that was due
}

TEST(QueuedCommand, LastWriterWinsAndClosedPortKeepsIt) {
  MachineController controller;
  controller.kplayClick(MachineController::kTagPlay);
  controller.kplayClick(MachineController::kTagStop);
  EXPECT_TRUE(controller.FrameTick(false).empty());
  EXPECT_TRUE(controller.Port().CommandPending);
  EXPECT_EQ(TickWrite(controller), Framed({0x20, 0x00}));
}

TEST(Receive, TwoRepliesInOneEventAreTakenOnePerEvent) {
  MachineController controller;
  Bytes both = kTime;
  const Bytes ident = Framed({0x12, 0x11, 0x21, 0x25});
  both.insert(both.end(), ident.begin(), ident.end());
  EXPECT_EQ(controller.SerialBTriggerAvail(both), RxOutcome::Handled);
  EXPECT_EQ(controller.Panel().bpoz, "04:03:02:01");
  EXPECT_EQ(controller.Panel().name, "Name");
  EXPECT_EQ(controller.SerialBTriggerAvail({}), RxOutcome::Handled);
  EXPECT_EQ(controller.Panel().name, "BVW-75 PAL");
}

TEST(Receive, SplitReplyAndOversizedBurst) {
  MachineController controller;
  const Bytes head(kTime.begin(), kTime.begin() + 3);
  const Bytes tail(kTime.begin() + 3, kTime.end());
  EXPECT_EQ(controller.SerialBTriggerAvail(head), RxOutcome::NoMessage);
  EXPECT_EQ(controller.SerialBTriggerAvail(tail), RxOutcome::Handled);

  const Bytes burst(31, 0x74);
  EXPECT_EQ(controller.SerialBTriggerAvail(burst), RxOutcome::Discarded);
  EXPECT_EQ(controller.Port().RxRead, controller.Port().RxWrite);
}

TEST(Receive, FiveRepliesAreSkippedAfterATrackKey) {
  MachineController controller;
  controller.kr1Click(1);
  TickWrite(controller);  // the edit preset goes out
  for (int reply = 0; reply < 5; ++reply) {
    EXPECT_EQ(controller.SerialBTriggerAvail(kTime), RxOutcome::Skipped);
    EXPECT_EQ(controller.PollCountdown(), 0);  // a skipped reply still paces the poll
  }
  EXPECT_EQ(controller.Panel().bpoz, "__:__:__:__");
  EXPECT_EQ(controller.SerialBTriggerAvail(kTime), RxOutcome::Handled);
  EXPECT_EQ(controller.Panel().bpoz, "04:03:02:01");
}

TEST(Receive, ChecksumFailuresAreCountedAndShownOnChange) {
  MachineController controller;
  EXPECT_FALSE(controller.ShowChecksumErrors());
  EXPECT_EQ(controller.SerialBTriggerAvail(Bytes{0x10, 0x01, 0x12}), RxOutcome::NoMessage);
  EXPECT_EQ(controller.Port().ChecksumErrors, 1);
  EXPECT_TRUE(controller.ShowChecksumErrors());
  EXPECT_EQ(controller.Panel().csumb, "01");
  EXPECT_FALSE(controller.ShowChecksumErrors());
}

}  // namespace
