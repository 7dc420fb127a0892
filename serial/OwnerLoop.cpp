#include "OwnerLoop.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <vector>

#include "SerialErrors.h"

namespace {

constexpr OwnerLoop::Id kWakeId = 0;
constexpr int kBatch = 64;

uint32_t EpollBits(short events) {
  uint32_t bits = 0;
  if (events & POLLIN) bits |= EPOLLIN;
  if (events & POLLOUT) bits |= EPOLLOUT;
  return bits;
}

short PollBits(uint32_t bits) {
  short events = 0;
  if (bits & EPOLLIN) events |= POLLIN;
  if (bits & EPOLLOUT) events |= POLLOUT;
  if (bits & EPOLLHUP) events |= POLLHUP;
  if (bits & EPOLLERR) events |= POLLERR;
  return events;
}

// epoll_pwait2 keeps the timers' nanoseconds; kernels without it get whole milliseconds,
// rounded up so a timer is never run early.
int WaitFor(int epoll, epoll_event* events, std::chrono::nanoseconds left) {
  left = std::min<std::chrono::nanoseconds>(left, std::chrono::hours(1));  // no overflow below
  static bool precise = true;
  if (precise) {
    const timespec timeout{static_cast<time_t>(left.count() / 1000000000),
                           static_cast<long>(left.count() % 1000000000)};
    const int n = epoll_pwait2(epoll, events, kBatch, &timeout, nullptr);
    if (n >= 0 || errno != ENOSYS) return n;
    precise = false;
  }
  return epoll_wait(epoll, events, kBatch,
                    static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
}

}  // namespace

// One posted callable. An invoking thread waits on `done`; the owner thread sets `finished`.
struct OwnerLoop::Call {
  Callback fn;
  bool finished = false;
  std::condition_variable done;
};

OwnerLoop::OwnerLoop() {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  if (epoll_ < 0) throw EInOutError(errno, "epoll");
  wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = kWakeId;
  if (wake_ < 0 || epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event) != 0) {
    const int error = errno;
    if (wake_ >= 0) ::close(wake_);
    ::close(epoll_);
    throw EInOutError(error, "eventfd");
  }
}

OwnerLoop::~OwnerLoop() {
  ::close(wake_);
  ::close(epoll_);
}

// --- descriptors and timers (owner thread) ---

OwnerLoop::Id OwnerLoop::Watch(int fd, short events, FdCallback callback) {
  const Id id = nextId_++;
  epoll_event event{};
  event.events = EpollBits(events);
  event.data.u64 = id;
  if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0) throw EInOutError(errno, "epoll");
  watchers_[id] = std::make_shared<Watcher>(Watcher{fd, std::move(callback)});
  return id;
}

void OwnerLoop::Rewatch(Id watch, short events) {
  const auto it = watchers_.find(watch);
  if (it == watchers_.end()) return;
  epoll_event event{};
  event.events = EpollBits(events);
  event.data.u64 = watch;
  epoll_ctl(epoll_, EPOLL_CTL_MOD, it->second->fd, &event);
}

void OwnerLoop::Unwatch(Id watch) {
  const auto it = watchers_.find(watch);
  if (it == watchers_.end()) return;
  // Fails harmlessly when the descriptor was closed first (the kernel dropped it then).
  epoll_ctl(epoll_, EPOLL_CTL_DEL, it->second->fd, nullptr);
  watchers_.erase(it);
}

OwnerLoop::Id OwnerLoop::At(Clock::time_point when, Callback fn) {
  const Id id = nextId_++;
  timers_[id] = Timer{when, Clock::duration::zero(), std::make_shared<Callback>(std::move(fn))};
  return id;
}

OwnerLoop::Id OwnerLoop::Every(Clock::duration period, Callback fn) {
  const Id id = nextId_++;
  timers_[id] = Timer{Clock::now() + period, period, std::make_shared<Callback>(std::move(fn))};
  return id;
}

void OwnerLoop::Cancel(Id timer) { timers_.erase(timer); }

// --- posted calls (any thread) ---

void OwnerLoop::Post(Callback fn) {
  auto call = std::make_shared<Call>();
  call->fn = std::move(fn);
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
}

bool OwnerLoop::Invoke(Callback fn, int timeoutMs) {
  auto call = std::make_shared<Call>();
  call->fn = std::move(fn);
  std::unique_lock lock(mutex_);
  calls_.push_back(call);
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
  return call->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return call->finished; });
}

// --- pumping (owner thread) ---

int OwnerLoop::Pump(std::chrono::milliseconds wait) { return PumpUntilTime(Clock::now() + wait); }

int OwnerLoop::PumpUntilTime(Clock::time_point deadline) {
  for (;;) {
    int ran = RunDueTimers() + RunPosted();
    ran += WaitAndDispatch(std::min(deadline, NextDue()), ran == 0);
    ran += RunPosted();
    if (ran > 0 || Clock::now() >= deadline) return ran;
  }
}

bool OwnerLoop::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return false;
    // Short slices so a condition changed by another thread is seen without a posted call.
    PumpUntilTime(Clock::now() + std::min<Clock::duration>(left, std::chrono::milliseconds(5)));
  }
  return true;
}

int OwnerLoop::WaitAndDispatch(Clock::time_point until, bool wait) {
  epoll_event events[kBatch];
  const auto left =
      wait ? std::max(until - Clock::now(), Clock::duration::zero()) : Clock::duration::zero();
  const int n = WaitFor(epoll_, events, left);
  int ran = 0;
  for (int i = 0; i < n; ++i) {
    const Id id = events[i].data.u64;
    if (id == kWakeId) {
      uint64_t count = 0;
      [[maybe_unused]] ssize_t r = ::read(wake_, &count, sizeof count);
      continue;
    }
    // Looked up anew for each event: an earlier callback of this batch may have removed it.
    const auto it = watchers_.find(id);
    if (it == watchers_.end()) continue;
    const std::shared_ptr<Watcher> watcher = it->second;  // lives while its callback runs
    watcher->callback(PollBits(events[i].events));
    ++ran;
  }
  return ran;
}

int OwnerLoop::RunDueTimers() {
  const auto now = Clock::now();
  std::vector<std::pair<Clock::time_point, Id>> due;
  for (const auto& [id, timer] : timers_) {
    if (timer.due <= now) due.emplace_back(timer.due, id);
  }
  std::sort(due.begin(), due.end());
  int ran = 0;
  for (const auto& [when, id] : due) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) continue;  // cancelled by an earlier one
    const std::shared_ptr<Callback> fn = it->second.fn;
    if (it->second.period == Clock::duration::zero()) {
      timers_.erase(it);
    } else {
      // A late loop does not run a burst of catch-up calls.
      it->second.due = std::max(it->second.due + it->second.period, now);
    }
    (*fn)();
    ++ran;
  }
  return ran;
}

OwnerLoop::Clock::time_point OwnerLoop::NextDue() const {
  auto next = Clock::time_point::max();
  for (const auto& entry : timers_) next = std::min(next, entry.second.due);
  return next;
}

int OwnerLoop::RunPosted() {
  int ran = 0;
  std::unique_lock lock(mutex_);
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

std::size_t OwnerLoop::Pending() {
  std::size_t pending = 0;
  {
    std::lock_guard lock(mutex_);
    pending = calls_.size();
  }
  const auto now = Clock::now();
  for (const auto& entry : timers_) pending += entry.second.due <= now ? 1 : 0;
  // Level-triggered: a look without a wait takes nothing away from the next Pump.
  epoll_event events[kBatch];
  const int n = epoll_wait(epoll_, events, kBatch, 0);
  for (int i = 0; i < n; ++i) {
    if (events[i].data.u64 != kWakeId && watchers_.count(events[i].data.u64)) ++pending;
  }
  return pending;
}
