// The owner's loop itself: timers on their deadlines, posts from other threads, watches removed
// from inside a batch of events.
#include <unistd.h>

#include <string>
#include <thread>

#include "OwnerLoop.h"
#include "SerialTestSupport.h"

using namespace serial_test;
using Clock = OwnerLoop::Clock;

TEST(OwnerLoop, TimersRunInDeadlineOrderNotEarlyAndCancelledOnesNever) {
  OwnerLoop loop;
  const auto start = Clock::now();
  std::string ran;
  std::vector<Clock::duration> lateBy;
  const auto at = [&](int ms, char name) {
    const auto due = start + std::chrono::milliseconds(ms);
    return loop.At(due, [&, due, name] {
      lateBy.push_back(Clock::now() - due);
      ran += name;
    });
  };
  at(30, 'c');
  at(10, 'a');
  const OwnerLoop::Id cancelled = at(20, 'x');
  OwnerLoop::Id repeating = 0;
  int repeats = 0;
  repeating = loop.Every(std::chrono::milliseconds(7), [&] {
    if (++repeats == 3) loop.Cancel(repeating);  // from inside itself
  });
  loop.Cancel(cancelled);
  loop.At(start + std::chrono::milliseconds(20), [&] { ran += 'b'; });
  ASSERT_TRUE(loop.PumpUntil([&] { return ran.size() == 3 && repeats == 3; }, kWait));
  EXPECT_EQ(ran, "abc");
  for (const auto late : lateBy) EXPECT_GE(late, Clock::duration::zero());
  loop.Pump(40ms);
  EXPECT_EQ(repeats, 3);
  EXPECT_EQ(ran, "abc");
}

TEST(OwnerLoop, PostFromAnotherThreadWakesTheWaitAndInvokeWaitsForTheRun) {
  OwnerLoop loop;
  std::vector<int> order;
  bool invoked = false;
  std::thread poster([&] {
    loop.Post([&] { order.push_back(1); });
    loop.Post([&] { order.push_back(2); });
    invoked = loop.Invoke([&] { order.push_back(3); }, 3000);
  });
  const auto start = Clock::now();
  while (order.size() < 3 && Clock::now() - start < kWait) loop.Pump(kWait);
  poster.join();
  EXPECT_LT(Clock::now() - start, 1000ms);  // woken, not timed out
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(invoked);
  EXPECT_EQ(loop.Pending(), 0u);
}

TEST(OwnerLoop, WatchRemovedByAnEarlierCallbackOfTheSameBatchDoesNotRun) {
  OwnerLoop loop;
  int first[2], second[2];
  ASSERT_EQ(pipe2(first, O_NONBLOCK | O_CLOEXEC), 0);
  ASSERT_EQ(pipe2(second, O_NONBLOCK | O_CLOEXEC), 0);
  ASSERT_EQ(::write(first[1], "a", 1), 1);
  ASSERT_EQ(::write(second[1], "b", 1), 1);
  int runs = 0;
  OwnerLoop::Id a = 0, b = 0;
  // Whichever runs first removes the other; the descriptor's number may even be reused.
  a = loop.Watch(first[0], POLLIN, [&](short) {
    ++runs;
    loop.Unwatch(b);
    loop.Unwatch(a);
  });
  b = loop.Watch(second[0], POLLIN, [&](short) {
    ++runs;
    loop.Unwatch(a);
    loop.Unwatch(b);
  });
  EXPECT_EQ(loop.Pending(), 2u);
  EXPECT_EQ(loop.Pump(kWait), 1);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(loop.Pump(20ms), 0);
  EXPECT_EQ(loop.Pending(), 0u);
  for (int fd : {first[0], first[1], second[0], second[1]}) ::close(fd);
  EXPECT_THROW(loop.Watch(first[0], POLLIN, [](short) {}), EInOutError);
}
