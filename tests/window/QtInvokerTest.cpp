#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <thread>

#include "QtInvoker.h"
#include "QtTestApp.h"

namespace {

class QtInvokerTest : public ::testing::Test {
 protected:
  // Handles GUI-thread events until `done` holds or the patience of a busy machine runs out.
  template <typename Done>
  bool PumpUntil(Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < kStuckMs) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
  }

  QtInvoker invoker;
};

TEST_F(QtInvokerTest, RunsTheCallOnTheGuiThreadAndReportsIt) {
  QThread* ranOn = nullptr;
  std::atomic<int> answer{-1};
  std::thread dispatcher([&] {
    answer = invoker.Invoke([&] { ranOn = QThread::currentThread(); }, kStuckMs) ? 1 : 0;
  });
  EXPECT_TRUE(PumpUntil([&] { return answer != -1; }));
  dispatcher.join();
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(ranOn, qApp->thread());
}

TEST_F(QtInvokerTest, CallsFromSeveralThreadsAllRunAndAreAllReported) {
  int runs = 0;  // touched on the GUI thread only
  std::atomic<int> reported{0};
  std::atomic<int> finished{0};
  std::vector<std::thread> dispatchers;
  for (int t = 0; t < 4; ++t) {
    dispatchers.emplace_back([&] {
      for (int i = 0; i < 25; ++i) {
        if (invoker.Invoke([&] { ++runs; }, kStuckMs)) ++reported;
      }
      ++finished;
    });
  }
  EXPECT_TRUE(PumpUntil([&] { return finished == 4; }));
  for (auto& d : dispatchers) d.join();
  EXPECT_EQ(runs, 100);
  EXPECT_EQ(reported, 100);
}

TEST_F(QtInvokerTest, TimesOutWhenTheGuiThreadIsBusyAndTheLateCallIsHarmless) {
  std::atomic<bool> ran{false};
  bool answer = true;
  std::thread dispatcher([&] { answer = invoker.Invoke([&] { ran = true; }, 50); });
  dispatcher.join();  // the GUI thread handles no events meanwhile
  EXPECT_FALSE(answer);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(PumpUntil([&] { return ran.load(); }));
}

TEST_F(QtInvokerTest, CallFromTheGuiThreadIsQueuedNotWaitedFor) {
  bool ran = false;
  QElapsedTimer timer;
  timer.start();
  EXPECT_FALSE(invoker.Invoke([&] { ran = true; }, kStuckMs));
  EXPECT_LT(timer.elapsed(), kStuckMs);  // not waited for
  EXPECT_FALSE(ran);
  EXPECT_TRUE(PumpUntil([&] { return ran; }));
}

TEST_F(QtInvokerTest, InvokerMayGoBeforeItsPendingCall) {
  bool ran = false;
  {
    auto shortLived = std::make_shared<QtInvoker>();
    std::thread dispatcher([&] { shortLived->Invoke([&] { ran = true; }, 10); });
    dispatcher.join();
  }
  EXPECT_TRUE(PumpUntil([&] { return ran; }));
}

}  // namespace
