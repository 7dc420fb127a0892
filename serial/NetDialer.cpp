#include "NetDialer.h"

#include <netdb.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "SerialErrors.h"

namespace {

constexpr int kFirstDelayMs = 1000;
constexpr int kLongestDelayMs = 10000;

std::string ErrorText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

void Watch(int epoll, int fd, uint32_t events) {
  epoll_event event{};
  event.events = events;
  event.data.fd = fd;
  if (epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) != 0) throw EInOutError(errno, "epoll");
}

}  // namespace

// One look-up on its own thread. The device may go before the answer comes: both hold this, and
// the last one closes the descriptor.
struct NetDialer::Resolution {
  std::mutex mutex;
  int done = -1;  // eventfd, readable when the answer is in
  int error = 0;  // getaddrinfo's code
  std::vector<sockaddr_storage> addresses;
  std::vector<socklen_t> lengths;

  ~Resolution() {
    if (done >= 0) ::close(done);
  }

  void Store(const addrinfo* list) {
    for (const addrinfo* a = list; a; a = a->ai_next) {
      sockaddr_storage address{};
      std::memcpy(&address, a->ai_addr, a->ai_addrlen);
      addresses.push_back(address);
      lengths.push_back(a->ai_addrlen);
    }
  }

  // Returns getaddrinfo's code.
  int Run(const std::string& host, int port, int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* list = nullptr;
    const int code = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
    std::lock_guard lock(mutex);
    error = code;
    if (code == 0) Store(list);
    if (list) freeaddrinfo(list);
    return code;
  }
};

NetDialer::NetDialer(std::string host, int port, int epoll)
    : host_(std::move(host)), port_(port), epoll_(epoll) {
  timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (timer_ < 0) throw EInOutError(errno, "timerfd");
  Watch(epoll_, timer_, EPOLLIN);
}

NetDialer::~NetDialer() {
  Abandon();
  ::close(timer_);
}

bool NetDialer::Owns(int fd) const {
  return fd == timer_ || (fd >= 0 && fd == connecting_) || (resolving_ && fd == resolving_->done);
}

int NetDialer::NextDelayMs() const {
  return backOffMs_ == 0 ? kFirstDelayMs : std::min(backOffMs_ * 2, kLongestDelayMs);
}

void NetDialer::Abandon() {
  pendingFailure_.clear();
  if (connecting_ >= 0) {
    epoll_ctl(epoll_, EPOLL_CTL_DEL, connecting_, nullptr);
    ::close(connecting_);
    connecting_ = -1;
  }
  if (resolving_) {
    epoll_ctl(epoll_, EPOLL_CTL_DEL, resolving_->done, nullptr);
    resolving_.reset();
  }
}

void NetDialer::DialLater() {
  Abandon();
  backOffMs_ = NextDelayMs();
  itimerspec when{};
  when.it_value.tv_sec = backOffMs_ / 1000;
  when.it_value.tv_nsec = (backOffMs_ % 1000) * 1000000L;
  timerfd_settime(timer_, 0, &when, nullptr);
}

void NetDialer::Dial() {
  Abandon();
  itimerspec off{};
  timerfd_settime(timer_, 0, &off, nullptr);
  Resolve();
}

// A numeric address needs no look-up; a name is looked up on a thread of its own.
void NetDialer::Resolve() {
  lastError_.clear();
  auto numeric = std::make_shared<Resolution>();
  addresses_.clear();
  lengths_.clear();
  next_ = 0;
  if (numeric->Run(host_, port_, AI_NUMERICHOST | AI_NUMERICSERV) == 0) {
    addresses_ = numeric->addresses;
    lengths_ = numeric->lengths;
    if (TryNextAddress(pendingFailure_) == Step::Failed) {
      // Reported through the timer, so the caller sees every outcome from Handle.
      itimerspec soon{};
      soon.it_value.tv_nsec = 1;
      timerfd_settime(timer_, 0, &soon, nullptr);
    }
    return;
  }
  auto job = std::make_shared<Resolution>();
  job->done = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (job->done < 0) throw EInOutError(errno, "eventfd");
  Watch(epoll_, job->done, EPOLLIN);
  resolving_ = job;
  std::thread([job, host = host_, port = port_] {
    job->Run(host, port, AI_NUMERICSERV);
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(job->done, &one, sizeof one);
  }).detach();
}

NetDialer::Step NetDialer::TakeResolution(std::string& failure) {
  const std::shared_ptr<Resolution> job = std::move(resolving_);
  epoll_ctl(epoll_, EPOLL_CTL_DEL, job->done, nullptr);
  std::lock_guard lock(job->mutex);
  if (job->error != 0) {
    failure = "cannot resolve " + host_ + " (" + gai_strerror(job->error) + ")";
    return Step::Failed;
  }
  addresses_ = job->addresses;
  lengths_ = job->lengths;
  next_ = 0;
  return TryNextAddress(failure);
}

// Starts a connect to the next address; Failed when none is left to try.
NetDialer::Step NetDialer::TryNextAddress(std::string& failure) {
  while (next_ < addresses_.size()) {
    const auto& address = addresses_[next_];
    const socklen_t length = lengths_[next_++];
    const int fd = socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      lastError_ = ErrorText(errno);
      continue;
    }
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 ||
        errno == EINPROGRESS) {
      connecting_ = fd;
      Watch(epoll_, fd, EPOLLOUT);
      return Step::Waiting;
    }
    lastError_ = ErrorText(errno);
    ::close(fd);
  }
  failure = "cannot connect to " + host_ + ":" + std::to_string(port_) + " (" +
            (lastError_.empty() ? "no address" : lastError_) + ")";
  return Step::Failed;
}

NetDialer::Step NetDialer::Handle(int fd, int& socket, std::string& failure) {
  if (fd == timer_) {
    uint64_t expirations = 0;
    [[maybe_unused]] ssize_t n = ::read(timer_, &expirations, sizeof expirations);
    if (!pendingFailure_.empty()) {
      failure = std::exchange(pendingFailure_, {});
      return Step::Failed;
    }
    Resolve();
    return Step::Waiting;
  }
  if (resolving_ && fd == resolving_->done) return TakeResolution(failure);
  if (fd != connecting_) return Step::Waiting;
  int error = 0;
  socklen_t length = sizeof error;
  getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
  epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
  connecting_ = -1;
  if (error == 0) {
    socket = fd;
    return Step::Connected;
  }
  ::close(fd);
  lastError_ = ErrorText(error);
  return TryNextAddress(failure);
}
