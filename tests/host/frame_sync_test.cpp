// The frame-tick rules, run on a simulated clock: two timers that fire a full period after their
// last (re)start, CTS pulses on either port, and a count of the frame ticks that result.
#include <gtest/gtest.h>

#include "FrameSync.h"

namespace {

// Drives a FrameSync the way the window does, one millisecond at a time.
class SyncBench {
 public:
  explicit SyncBench(int timer1Ms) : timer1Ms_(timer1Ms) {}

  FrameSync sync;
  int ticks = 0;
  int rearmsA = 0;
  int rearmsB = 0;

  // Runs `ms` milliseconds; a pulse period of 0 means no pulse on that port. The pulse is 4 ms of
  // CTS on per period; its falling edge is the frame.
  void Run(int ms, int pulseAPeriod, int pulseBPeriod) {
    for (int i = 0; i < ms; ++i) {
      ++now_;
      Pulse(pulseAPeriod, ctsA_, true);
      Pulse(pulseBPeriod, ctsB_, false);
      if (now_ - timer1Start_ >= timer1Ms_) {
        timer1Start_ = now_;
        Apply(sync.Timer1Fired(), true);
      }
      if (now_ - timer2Start_ >= kTimer2IntervalMs) {
        timer2Start_ = now_;
        Apply(sync.Timer2Fired(), false);
      }
    }
  }

 private:
  void Pulse(int period, bool& cts, bool portA) {
    if (period == 0) return;
    const bool on = (now_ % period) < 4;
    if (on == cts) return;
    cts = on;
    Apply(portA ? sync.ModemStatusA(true, on) : sync.ModemStatusB(true, on), portA);
  }

  void Apply(const SyncStep& step, bool portA) {
    if (step.restartTimer) (portA ? timer1Start_ : timer2Start_) = now_;
    if (step.rearm) ++(portA ? rearmsA : rearmsB);
    if (step.frameTick) ++ticks;
  }

  int timer1Ms_;
  long now_ = 0;
  long timer1Start_ = 0;
  long timer2Start_ = 0;
  bool ctsA_ = false;
  bool ctsB_ = false;
};

}  // namespace

TEST(FrameSyncTest, Timer1TicksWhilePortAIsOpenAndCountsLostLock) {
  SyncBench bench(60);
  bench.Run(600, 0, 0);
  EXPECT_EQ(bench.ticks, 0) << "nothing ticks with both ports closed";
  EXPECT_EQ(bench.sync.LostLock(), 0);

  bench.sync.SetPortAOpen(true);
  bench.Run(600, 0, 0);
  EXPECT_EQ(bench.ticks, 10);
  EXPECT_EQ(bench.rearmsA, 10);
  EXPECT_EQ(bench.sync.LostLockCaption(), "10");
  EXPECT_EQ(bench.sync.SyncACaption(), "No Sync A");
}

TEST(FrameSyncTest, Timer2TicksOnlyWhilePortAIsClosed) {
  SyncBench bench(60);
  bench.sync.SetPortBOpen(true);
  bench.Run(800, 0, 0);
  EXPECT_EQ(bench.ticks, 10);
  EXPECT_EQ(bench.rearmsB, 10);

  bench.sync.SetPortAOpen(true);
  bench.ticks = 0;
  bench.Run(2400, 0, 0);
  EXPECT_EQ(bench.ticks, 40) << "only Timer1 ticks once port A is open";
}

TEST(FrameSyncTest, SteadyPulseOnPortBKeepsGoodSyncAndLostLockStill) {
  SyncBench bench(60);
  bench.sync.SetPortBOpen(true);
  bench.Run(1000, 0, 40);  // 25 Hz
  EXPECT_EQ(bench.sync.SyncBCaption(), "Good Sync B");
  EXPECT_EQ(bench.ticks, 25);
  EXPECT_EQ(bench.sync.LostLock(), 0);
  EXPECT_GE(bench.rearmsB, 50) << "the trigger is armed again after every CTS change";

  bench.Run(80, 0, 0);
  EXPECT_EQ(bench.sync.SyncBCaption(), "No Sync B") << "dark within one Timer2 period";
  const int before = bench.sync.LostLock();
  bench.Run(1000, 0, 0);
  const int counted = bench.sync.LostLock() - before;
  EXPECT_TRUE(counted == 12 || counted == 13) << counted;
}

TEST(FrameSyncTest, LostLockWrapsAfter99AndResets) {
  SyncBench bench(60);
  bench.sync.SetPortAOpen(true);
  bench.Run(60 * 105, 0, 0);
  EXPECT_EQ(bench.sync.LostLock(), 5);
  bench.sync.ResetLostLock();
  EXPECT_EQ(bench.sync.LostLockCaption(), "0");
}

TEST(FrameSyncTest, BothPortsSyncedOnlyPortAPacesTheTick) {
  SyncBench bench(60);
  bench.sync.SetPortAOpen(true);
  bench.sync.SetPortBOpen(true);
  bench.Run(1000, 40, 33);  // port A at 25 Hz, port B at about 30 Hz
  EXPECT_TRUE(bench.sync.SyncA());
  EXPECT_TRUE(bench.sync.SyncB());
  EXPECT_EQ(bench.ticks, 25);
  EXPECT_EQ(bench.sync.LostLock(), 0);
}

TEST(FrameSyncTest, RisingEdgeRestartsTheTimerWithoutATick) {
  FrameSync sync;
  sync.SetPortAOpen(true);
  SyncStep rising = sync.ModemStatusA(true, true);
  EXPECT_TRUE(rising.restartTimer);
  EXPECT_FALSE(rising.frameTick);
  EXPECT_TRUE(rising.rearm);
  SyncStep unchanged = sync.ModemStatusA(false, false);
  EXPECT_FALSE(unchanged.restartTimer);
  EXPECT_FALSE(unchanged.frameTick);
  EXPECT_FALSE(sync.SyncA());
}

TEST(FrameSyncTest, ClosedPortIsNotArmedAgain) {
  FrameSync sync;
  EXPECT_FALSE(sync.ModemStatusB(true, false).rearm);
  EXPECT_TRUE(sync.ModemStatusB(true, false).frameTick) << "a pulse still ticks";
}

TEST(FrameSyncTest, LayoutSetsTimer1) {
  EXPECT_EQ(LayoutTimer1IntervalMs(true), 100);
  EXPECT_EQ(LayoutTimer1IntervalMs(false), 60);
}
