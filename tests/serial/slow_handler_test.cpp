// A handler that runs past the hand-over time-out (an error box with its own event loop) does not
// hold its port's dispatcher, and nothing of the port runs beside it or is lost meanwhile.
#include <atomic>
#include <thread>

#include "SerialDispatch.h"
#include "SerialTestSupport.h"
#include "SerialTriggers.h"

using namespace serial_test;

namespace {

// A device whose lines the test sets and whose driver counts no edges: a level held for a while
// is seen only by a dispatcher that keeps reading the lines.
class ScriptedDevice : public SerialDevice {
 public:
  explicit ScriptedDevice(int readFd) : fd_(readFd) {}
  ~ScriptedDevice() override { ::close(fd_); }
  int Fd() const override { return fd_; }
  int LinePollMs() const override { return 10; }
  ssize_t Read(uint8_t* buffer, std::size_t size) override { return ::read(fd_, buffer, size); }
  ssize_t Write(const uint8_t*, std::size_t size) override { return static_cast<ssize_t>(size); }
  std::vector<std::string> Configure(const LineSettings&) override { return {}; }
  bool ReadLines(LineSample& sample) override {
    sample = {lines->load(), 0};
    return true;
  }
  bool SetDTR(bool) override { return true; }
  bool SetRTS(bool) override { return true; }
  void FlushInput() override {}
  bool HangupMeansLost() const override { return true; }

  std::shared_ptr<std::atomic<uint8_t>> lines = std::make_shared<std::atomic<uint8_t>>(0);

 private:
  int fd_;
};

// The owner loop with a short hand-over time-out, so a "slow" handler need not take seconds.
class QuickInvoker : public EventInvoker {
 public:
  bool Invoke(std::function<void()> fn, int) override { return loop->Invoke(std::move(fn), 100); }
  std::shared_ptr<OwnerLoop> loop = std::make_shared<OwnerLoop>();
};

}  // namespace

TEST(SlowHandler, DispatcherGoesOnAndDeliversWhatCameMeanwhileAfterTheHandlerReturns) {
  int pipeFds[2];
  ASSERT_EQ(pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC), 0);
  auto device = std::make_unique<ScriptedDevice>(pipeFds[0]);
  const auto lines = device->lines;
  auto invoker = std::make_shared<QuickInvoker>();
  auto triggers = std::make_shared<SerialTriggers>();
  auto dispatch = std::make_shared<SerialDispatch>(std::move(device), invoker, triggers, 4096,
                                                   "COM230 (scripted)");
  int running = 0;
  bool overlapped = false;
  std::vector<uint16_t> counts;
  int modemEvents = 0;
  const auto enter = [&] { overlapped |= ++running > 1; };
  dispatch->Start({[&](uint16_t count) {
                     enter();
                     counts.push_back(count);
                     dispatch->Consumed(count);
                     if (counts.size() == 1) {
                       // An error box: its own event loop runs for 400 ms while more bytes
                       // arrive and CTS pulses on and off.
                       const uint8_t more[2] = {3, 4};
                       ASSERT_EQ(::write(pipeFds[1], more, 2), 2);
                       lines->store(kModemCTS);
                       invoker->loop->PumpUntil([] { return false; }, 200ms);
                       lines->store(0);
                       invoker->loop->PumpUntil([] { return false; }, 200ms);
                     }
                     --running;
                   },
                   [&](uint16_t) {
                     enter();
                     ++modemEvents;
                     --running;
                   },
                   [](const std::string&) {}, [] {}});
  const uint16_t handle = triggers->Add(kModemTriggerType);
  triggers->Arm(handle, kModemCTS, true, dispatch->Status());

  const uint8_t first[2] = {1, 2};
  ASSERT_EQ(::write(pipeFds[1], first, 2), 2);
  ASSERT_TRUE(
      invoker->loop->PumpUntil([&] { return counts.size() == 2 && modemEvents == 1; }, kWait));
  EXPECT_FALSE(overlapped);
  EXPECT_EQ(counts, (std::vector<uint16_t>{2, 2}));
  dispatch->Stop();
  ::close(pipeFds[1]);
}
