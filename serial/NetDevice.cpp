#include "NetDevice.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "SerialErrors.h"

namespace {

// The kernel's share of a peer that does not read: small, so kMaxQueued is what bounds it.
constexpr int kSendBuffer = 64 * 1024;

std::string ErrorText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

void Watch(int epoll, int op, int fd, uint32_t events) {
  epoll_event event{};
  event.events = events;
  event.data.fd = fd;
  if (epoll_ctl(epoll, op, fd, &event) != 0 && op == EPOLL_CTL_ADD) {
    throw EInOutError(errno, "epoll");
  }
}

}  // namespace

NetDevice::NetDevice(const PortTarget& target)
    : where_(target.host + ":" + std::to_string(target.port)) {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  if (epoll_ < 0) throw EInOutError(errno, "epoll");
  try {
    peerEpoll_ = fcntl(epoll_, F_DUPFD_CLOEXEC, 0);
    if (peerEpoll_ < 0) throw EInOutError(errno, "epoll");
    Watch(epoll_, EPOLL_CTL_ADD, wake_.Fd(), EPOLLIN);
    if (target.Listening()) {
      listener_ = std::make_unique<NetListener>(target.host, target.port, target.Describe());
      Watch(epoll_, EPOLL_CTL_ADD, listener_->Fd(), EPOLLIN);
    } else {
      dialer_ = std::make_unique<NetDialer>(target.host, target.port, epoll_);
      dialer_->Dial();
    }
  } catch (...) {
    dialer_.reset();
    listener_.reset();
    if (peerEpoll_ >= 0) ::close(peerEpoll_);
    ::close(epoll_);
    throw;
  }
}

NetDevice::~NetDevice() {
  if (socket_ >= 0) ::close(socket_);
  dialer_.reset();
  listener_.reset();
  ::close(peerEpoll_);
  ::close(epoll_);
}

// Does whatever waits: a client at the door, a connect that finished, a retry that is due, a
// queue the peer can take more of.
void NetDevice::Service() {
  epoll_event events[8];
  const int n = epoll_wait(epoll_, events, 8, 0);
  for (int i = 0; i < n; ++i) HandleReady(events[i].data.fd, events[i].events);
}

void NetDevice::HandleReady(int fd, uint32_t events) {
  if (listener_ && fd == listener_->Fd()) return AcceptClients();
  if (dialer_ && dialer_->Owns(fd)) {
    int socket = -1;
    std::string failure;
    switch (dialer_->Handle(fd, socket, failure)) {
      case NetDialer::Step::Connected:
        return Adopt(socket, where_);
      case NetDialer::Step::Failed:
        if (!outage_) {
          Note(failure + "; trying again every 1 to 10 s");
        }
        outage_ = true;
        return dialer_->DialLater();
      case NetDialer::Step::Waiting:
        return;
    }
  }
  if (fd != socket_) return;
  if (events & EPOLLOUT) Flush();
  // The data before an end is read first; an error with nothing to read ends it here.
  if ((events & (EPOLLERR | EPOLLHUP)) && !(events & EPOLLIN)) Drop("the connection failed");
}

void NetDevice::AcceptClients() {
  std::string peer;
  for (int fd = listener_->Accept(peer); fd >= 0; fd = listener_->Accept(peer)) {
    // A client that has just closed gives way, though its end is not read yet.
    pollfd current{socket_, POLLRDHUP, 0};
    if (socket_ >= 0 && poll(&current, 1, 0) > 0) Drop("the peer closed it");
    if (socket_ < 0) {
      Adopt(fd, peer);
      continue;
    }
    ::close(fd);
    Note("refused a client from " + peer + ": " + peer_ + " is connected (one client at a time)");
  }
}

void NetDevice::Adopt(int socket, const std::string& peer) {
  socket_ = socket;
  peer_ = peer;
  const int one = 1;
  setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  setsockopt(socket_, SOL_SOCKET, SO_SNDBUF, &kSendBuffer, sizeof kSendBuffer);
  watchingOutput_ = false;
  Watch(epoll_, EPOLL_CTL_ADD, socket_, EPOLLIN | EPOLLRDHUP);
  if (dialer_) {
    if (outage_ && everConnected_) Note("connected to " + where_ + " again");
    if (outage_ && !everConnected_) Note("connected to " + where_);
    dialer_->ResetBackOff();
  }
  outage_ = false;
  everConnected_ = true;
  OnConnected();
  SignalLines();
}

void NetDevice::Drop(const std::string& reason) {
  if (socket_ < 0) return;
  epoll_ctl(epoll_, EPOLL_CTL_DEL, socket_, nullptr);
  ::close(socket_);
  socket_ = -1;
  queued_.clear();
  queuedFrom_ = 0;
  ++departures_;
  wake_.Signal();
  OnDisconnected();
  SignalLines();
  if (!dialer_) return;
  Note("lost the connection to " + where_ + " (" + reason + "); trying again every 1 to 10 s");
  outage_ = true;
  dialer_->DialLater();
}

void NetDevice::SendWire(std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return;
  if (socket_ < 0) {
    bytes.clear();
    return;
  }
  queued_.insert(queued_.end(), bytes.begin(), bytes.end());
  bytes.clear();
  Flush();
}

void NetDevice::Flush() {
  while (socket_ >= 0 && queuedFrom_ < queued_.size()) {
    const ssize_t n = send(socket_, queued_.data() + queuedFrom_, queued_.size() - queuedFrom_,
                           MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      queuedFrom_ += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return Drop(ErrorText(errno));
    break;
  }
  if (socket_ < 0) return;
  const std::size_t waiting = queued_.size() - queuedFrom_;
  if (waiting > kMaxQueued) {
    const std::string who = dialer_ ? "the peer at " + where_ : "the client at " + peer_;
    Note(who + " read nothing of " + std::to_string(waiting / 1024) +
         " KiB waiting for it; dropped the connection");
    dropped_ += waiting;
    return Drop("it did not read");
  }
  if (waiting == 0) {
    queued_.clear();
    queuedFrom_ = 0;
  } else if (queuedFrom_ > queued_.size() / 2) {
    queued_.erase(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(queuedFrom_));
    queuedFrom_ = 0;
  }
  WatchOutput(waiting > 0);
}

void NetDevice::WatchOutput(bool on) {
  if (on == watchingOutput_) return;
  watchingOutput_ = on;
  Watch(epoll_, EPOLL_CTL_MOD, socket_, EPOLLIN | EPOLLRDHUP | (on ? EPOLLOUT : 0u));
}

ssize_t NetDevice::Read(uint8_t* buffer, std::size_t size) {
  Service();
  return Receive(buffer, size);
}

// At most `size` bytes from the wire, so the data in them fits `buffer` whatever the protocol
// takes out.
ssize_t NetDevice::Receive(uint8_t* buffer, std::size_t size) {
  if (socket_ < 0 || size == 0) {
    errno = EAGAIN;
    return -1;
  }
  scratch_.resize(size);
  const ssize_t n = recv(socket_, scratch_.data(), size, MSG_DONTWAIT);
  if (n <= 0) {
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return -1;
    Drop(n == 0 ? "the peer closed it" : ErrorText(errno));
    return 0;  // the port takes the departure at once
  }
  data_.clear();
  Decode(scratch_.data(), static_cast<std::size_t>(n), data_);
  if (data_.empty()) {
    errno = EAGAIN;
    return -1;
  }
  std::memcpy(buffer, data_.data(), data_.size());
  return static_cast<ssize_t>(data_.size());
}

ssize_t NetDevice::Write(const uint8_t* data, std::size_t size) {
  if (socket_ < 0) {
    dropped_ += size;
    return static_cast<ssize_t>(size);
  }
  std::vector<uint8_t> wire;
  Encode(data, size, wire);
  SendWire(wire);
  return static_cast<ssize_t>(size);
}

void NetDevice::FlushInput() {
  // Read through the protocol, so a command cut by the flush is still taken whole.
  uint8_t discard[4096];
  while (Receive(discard, sizeof discard) > 0) {
  }
}

bool NetDevice::ReadLines(LineSample& sample) {
  Lines(sample);
  return true;
}

std::vector<std::string> NetDevice::TakeNotes() { return std::exchange(notes_, {}); }

int NetDevice::TakeHangUps(short) {
  Service();
  wake_.Clear();
  return std::exchange(departures_, 0) > 0 ? 1 : 0;
}
