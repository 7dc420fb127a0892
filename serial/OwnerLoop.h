// The plain EventInvoker for tests and headless use: a queue of callables that the owner thread
// drains by calling Pump or PumpUntil. Callables run only inside those calls, on the thread that
// makes them, in the order they were invoked.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "EventInvoker.h"

class OwnerLoop final : public EventInvoker {
 public:
  bool Invoke(std::function<void()> fn, int timeoutMs) override;

  // Runs every queued callable, waiting up to `wait` for the first one; returns how many ran.
  int Pump(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
  // The same, waiting for the first callable until `deadline` at the latest (an absolute time, so
  // a loop that keeps its own timers wakes on time however long its callables took).
  int PumpUntilTime(std::chrono::steady_clock::time_point deadline);

  // Runs queued callables until `done()` holds or `limit` has passed; returns `done()`.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

  // How many callables wait to be run.
  std::size_t Pending();

 private:
  struct Call;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<std::shared_ptr<Call>> calls_;
};
