#include "OwnerLoop.h"

#include <algorithm>

// One queued callable. The invoking thread waits on `done`; the owner thread sets it.
struct OwnerLoop::Call {
  std::function<void()> fn;
  bool finished = false;
  std::condition_variable done;
};

bool OwnerLoop::Invoke(std::function<void()> fn, int timeoutMs) {
  auto call = std::make_shared<Call>();
  call->fn = std::move(fn);
  std::unique_lock lock(mutex_);
  calls_.push_back(call);
  queued_.notify_all();
  return call->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return call->finished; });
}

int OwnerLoop::Pump(std::chrono::milliseconds wait) {
  return PumpUntilTime(std::chrono::steady_clock::now() + wait);
}

int OwnerLoop::PumpUntilTime(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  queued_.wait_until(lock, deadline, [&] { return !calls_.empty(); });
  int ran = 0;
  while (!calls_.empty()) {
    auto call = calls_.front();
    calls_.pop_front();
    lock.unlock();
    call->fn();
    lock.lock();
    call->finished = true;
    call->done.notify_all();
    ++ran;
  }
  return ran;
}

bool OwnerLoop::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return false;
    // Short slices so a condition changed by another thread is seen without a queued call.
    Pump(std::min(std::chrono::duration_cast<std::chrono::milliseconds>(left),
                  std::chrono::milliseconds(5)));
  }
  return true;
}

std::size_t OwnerLoop::Pending() {
  std::lock_guard lock(mutex_);
  return calls_.size();
}
