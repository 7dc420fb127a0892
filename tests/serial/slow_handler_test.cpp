// A handler that runs a nested loop for a long time (an error box) keeps the port served: what
// comes meanwhile is read, and nothing of the port runs beside the handler or is lost.
#include <atomic>
#include <thread>

#include "PortReactor.h"
#include "SerialTestSupport.h"
#include "SerialTriggers.h"

using namespace serial_test;

TEST(SlowHandler, WhatCameDuringANestedLoopIsDeliveredAfterTheHandlerReturns) {
  int pipeFds[2];
  ASSERT_EQ(pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC), 0);
  auto device = std::make_unique<ScriptedDevice>(pipeFds[0]);
  const auto lines = device->lines;
  auto loop = std::make_shared<OwnerLoop>();
  auto triggers = std::make_shared<SerialTriggers>();
  auto dispatch =
      std::make_shared<PortReactor>(std::move(device), loop, triggers, 4096, "COM230 (scripted)");
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
                       loop->PumpUntil([] { return false; }, 200ms);
                       lines->store(0);
                       loop->PumpUntil([] { return false; }, 200ms);
                     }
                     --running;
                   },
                   [&](uint16_t) {
                     enter();
                     ++modemEvents;
                     --running;
                   },
                   [](const std::string&) {},
                   [] {},
                   {}});
  const uint16_t handle = triggers->Add(kModemTriggerType);
  triggers->Arm(handle, kModemCTS, true, dispatch->Status());

  const uint8_t first[2] = {1, 2};
  ASSERT_EQ(::write(pipeFds[1], first, 2), 2);
  ASSERT_TRUE(loop->PumpUntil([&] { return counts.size() == 2 && modemEvents == 1; }, kWait));
  EXPECT_FALSE(overlapped);
  EXPECT_EQ(counts, (std::vector<uint16_t>{2, 2}));
  dispatch->Stop();
  ::close(pipeFds[1]);
}
