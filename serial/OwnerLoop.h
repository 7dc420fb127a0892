// The owner's event loop: everything of the serial ports and of their owner runs on the one
// thread that pumps it. It watches descriptors (epoll, level-triggered), keeps one-shot and
// repeating timers on absolute steady_clock deadlines, and runs callables posted from any thread
// (an eventfd wakes the wait). A port's request is read, framed, answered and written inside one
// wake-up, with no hand-over between threads.
//
// Threads: Post and Invoke may be called from any thread; everything else only on the owner
// thread, the one that calls Pump*. Callbacks run only inside Pump*, on that thread.
// Pump* may be called again from inside a callback (a nested loop, e.g. a box waiting for the
// user): a watch or timer removed meanwhile never runs again, not even from a batch of events
// already taken, and an id is never reused.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

class OwnerLoop {
 public:
  using Clock = std::chrono::steady_clock;
  using Callback = std::function<void()>;
  // A watched descriptor's events as poll() bits: POLLIN, POLLOUT, POLLHUP, POLLERR.
  using FdCallback = std::function<void(short events)>;
  using Id = uint64_t;  // names a watch or a timer; 0 names nothing

  OwnerLoop();  // EInOutError when epoll or the eventfd cannot be had
  ~OwnerLoop();
  OwnerLoop(const OwnerLoop&) = delete;
  OwnerLoop& operator=(const OwnerLoop&) = delete;

  // Watches `fd` for `events` (POLLIN, POLLOUT; hang-ups and errors are always reported).
  // EInOutError when epoll refuses the descriptor.
  Id Watch(int fd, short events, FdCallback callback);
  void Rewatch(Id watch, short events);
  // Forgets the watch; the descriptor may already be closed. Unknown ids are ignored.
  void Unwatch(Id watch);

  // Runs `fn` once at `when`, or every `period` from now on; Cancel stops either.
  Id At(Clock::time_point when, Callback fn);
  Id Every(Clock::duration period, Callback fn);
  void Cancel(Id timer);

  // Queues `fn` to run on the owner thread in the order of posting (any thread).
  void Post(Callback fn);
  // Posts `fn` and waits up to `timeoutMs` for it to have run; true when it did. Never call it
  // with a time-out from the owner thread: nothing runs while it waits.
  bool Invoke(Callback fn, int timeoutMs);

  // Runs what is ready (ready descriptors, due timers, posted calls), first waiting up to `wait`
  // for something to be; returns how many callbacks ran.
  int Pump(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
  // The same, waiting until `deadline` at the latest (an absolute time, so a loop that keeps its
  // own timers wakes on time however long its callbacks took).
  int PumpUntilTime(Clock::time_point deadline);
  // Pumps until `done()` holds or `limit` has passed; returns `done()`.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

  // How many callbacks would run now: posted calls, ready descriptors and due timers.
  std::size_t Pending();

 private:
  struct Call;
  struct Watcher {
    int fd;
    FdCallback callback;
  };
  struct Timer {
    Clock::time_point due;
    Clock::duration period;  // zero: once
    std::shared_ptr<Callback> fn;
  };
  int WaitAndDispatch(Clock::time_point until, bool wait);
  int RunDueTimers();
  int RunPosted();
  Clock::time_point NextDue() const;

  int epoll_ = -1;
  int wake_ = -1;
  Id nextId_ = 1;
  std::unordered_map<Id, std::shared_ptr<Watcher>> watchers_;
  std::unordered_map<Id, Timer> timers_;

  std::mutex mutex_;  // guards calls_
  std::deque<std::shared_ptr<Call>> calls_;
};
