#include "PortReactor.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "SerialTriggers.h"

namespace {

std::string ErrorText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

bool Transient(int error) { return error == EAGAIN || error == EINTR; }

std::chrono::milliseconds Ms(int ms) { return std::chrono::milliseconds(ms); }

}  // namespace

PortReactor::PortReactor(std::unique_ptr<SerialDevice> device, std::shared_ptr<OwnerLoop> loop,
                         std::shared_ptr<SerialTriggers> triggers, std::size_t outSize,
                         std::string portName)
    : device_(std::move(device)),
      loop_(std::move(loop)),
      triggers_(std::move(triggers)),
      portName_(std::move(portName)),
      output_(outSize) {}

PortReactor::~PortReactor() { Stop(); }

void PortReactor::Start(Events events) {
  events_ = std::move(events);
  device_->WatchLines();
  LineSample sample;
  device_->ReadLines(sample);
  status_.Reset(sample);
  triggers_->Rebase(status_);
  // The callbacks hold the engine while they run: an event may close the port, and with it the
  // owner's reference.
  if (const int modemFd = device_->ModemEventFd(); modemFd >= 0) {
    modemWatch_ = loop_->Watch(modemFd, POLLIN, [this](short) {
      const auto self = shared_from_this();
      device_->AckModemEvent();
      OnLines();
    });
  }
  if (const int period = device_->LinePollMs(); period > 0) {
    lineTimer_ = loop_->Every(Ms(period), [this] {
      const auto self = shared_from_this();
      OnLines();
    });
  }
  SyncWatches();
  // Triggers kept armed over a reopen are compared with the new device's lines.
  if (triggers_->AnyArmed())
    loop_->Post([weak = weak_from_this()] {
      if (const auto self = weak.lock()) self->Dispatch();
    });
}

void PortReactor::Stop() {
  if (killed_) return;
  killed_ = true;
  Quiesce();
  device_->Restore();
  closingNotes_ = device_->TakeNotes();
  device_.reset();
}

void PortReactor::Quiesce() {
  for (OwnerLoop::Id* watch : {&deviceWatch_, &peerWatch_, &modemWatch_}) {
    loop_->Unwatch(std::exchange(*watch, 0));
  }
  for (OwnerLoop::Id* timer : {&lineTimer_, &peerTimer_, &writeRetry_}) {
    loop_->Cancel(std::exchange(*timer, 0));
  }
  watchedFd_ = watchedPeerFd_ = -1;
}

// --- owner calls ---

std::vector<std::string> PortReactor::Configure(const LineSettings& settings) {
  return device_ ? device_->Configure(settings) : std::vector<std::string>{};
}

bool PortReactor::Write(const uint8_t* data, std::size_t size) {
  if (!device_) return true;
  std::size_t sent = 0;
  // Nothing queued: straight to the device; only what it does not take now is queued.
  if (output_.Queued() == 0 && size <= output_.Capacity()) {
    const ssize_t n = device_->Write(data, size);
    if (n > 0) sent = static_cast<std::size_t>(n);
  }
  if (sent == size) return true;
  if (!output_.Put(data + sent, size - sent)) return false;
  SyncWatches();
  return true;
}

void PortReactor::Consumed(std::size_t count) {
  const bool wasFull = input_.Free() == 0;
  input_.Consume(count);
  if (wasFull && count > 0) SyncWatches();
}

void PortReactor::DiscardInput() {
  if (device_) device_->FlushInput();
  input_.DiscardAll();
  SyncWatches();
}

bool PortReactor::RefreshLines() {
  if (!device_) return true;
  LineSample sample;
  if (!device_->ReadLines(sample)) return false;
  status_.Update(sample);
  return true;
}

bool PortReactor::SetDTR(bool on) { return device_ && device_->SetDTR(on); }

bool PortReactor::SetRTS(bool on) { return device_ && device_->SetRTS(on); }

uint64_t PortReactor::DroppedBytes() const { return device_ ? device_->DroppedBytes() : 0; }

std::vector<std::string> PortReactor::TakeNotes() {
  return device_ ? device_->TakeNotes() : std::exchange(closingNotes_, {});
}

// --- the loop's callbacks ---

void PortReactor::OnDevice(short revents) {
  const auto self = shared_from_this();
  // Before the data: what is read after a departure belongs to the next client.
  TakeHangUps(revents);
  if (!device_->AwaitingClient()) {
    if (revents & (POLLOUT | POLLERR | POLLHUP)) FlushOutput();
    if (!lost_) ReadInput(revents);
  }
  SyncWatches();
  Dispatch();
}

void PortReactor::OnPeer() {
  const auto self = shared_from_this();
  short revents = 0;
  if (const int fd = device_->Fd(); fd >= 0) {
    pollfd probe{fd, static_cast<short>(input_.Free() > 0 ? POLLIN : 0), 0};
    if (poll(&probe, 1, 0) > 0) revents = probe.revents;
  }
  TakeHangUps(revents);
  if (!device_->AwaitingClient()) {
    FlushOutput();
    if (revents) ReadInput(revents);
  }
  SyncWatches();
  Dispatch();
}

void PortReactor::OnLines() {
  if (!RefreshLines()) ReportLost(ErrorText(EIO));
  // Data that came before the change is delivered before its trigger, even when the loop saw
  // the line change first.
  if (!lost_ && deviceWatch_ != 0 && input_.Free() > 0) {
    pollfd probe{watchedFd_, POLLIN, 0};
    if (poll(&probe, 1, 0) > 0 && (probe.revents & POLLIN)) OnDevice(probe.revents);
  }
  Dispatch();
}

void PortReactor::TakeHangUps(short revents) {
  if (device_->TakeHangUps(revents) == 0) return;
  output_.DropAll();
  input_.MarkForDiscard();
  ++pendingHangUps_;
}

// Moves what the device holds into the ring; false when the device has gone.
bool PortReactor::ReadInput(short revents) {
  const bool hangup = (revents & (POLLHUP | POLLERR)) != 0;
  if ((revents & POLLIN) && input_.Free() > 0) {
    uint8_t chunk[ReceiveRing::kSize];
    const ssize_t n = device_->Read(chunk, input_.Free());
    if (n > 0) {
      input_.Append(chunk, static_cast<std::size_t>(n));
      return true;
    }
    const int error = n == 0 ? EIO : errno;
    if (n < 0 && Transient(error)) return true;
    if (device_->HangupMeansLost() || (error != EIO && n < 0)) {
      ReportLost(n == 0 ? "end of input" : ErrorText(error));
      return false;
    }
    TakeHangUps(POLLHUP);  // the client left
    return true;
  }
  if (hangup && device_->HangupMeansLost()) {
    ReportLost("the line hung up");
    return false;
  }
  return true;
}

void PortReactor::FlushOutput() {
  while (!lost_ && writeRetry_ == 0) {
    const OutputRing::Run run = output_.NextRun();
    if (run.size == 0) return;
    const ssize_t n = device_->Write(run.bytes, run.size);
    if (n <= 0 && (n == 0 || !WriteFailed(errno))) return;
    if (n > 0) output_.Release(run, static_cast<std::size_t>(n));
  }
}

// A write's error: false when the output waits (for room, for a client, or for good).
bool PortReactor::WriteFailed(int error) {
  if (Transient(error)) return false;
  if (device_->HangupMeansLost() || error != EIO) {
    ReportLost(ErrorText(error));
    return false;
  }
  // A virtual device without a client: offer the output again later.
  writeRetry_ = loop_->At(OwnerLoop::Clock::now() + Ms(device_->PeerPollMs()), [this] {
    const auto self = shared_from_this();
    writeRetry_ = 0;
    FlushOutput();
    SyncWatches();
    Dispatch();
  });
  return false;
}

// --- watches ---

// Watches what the device needs now: called after every call into the device, so a descriptor
// it changed (a client accepted, a reconnect, a departure) is watched before the loop waits.
void PortReactor::SyncWatches() {
  if (killed_ || lost_) return;
  const bool awaiting = device_->AwaitingClient();
  const uint64_t generation = device_->DescriptorGeneration();
  const bool renewed = generation != watchedGeneration_;
  watchedGeneration_ = generation;
  try {
    short events = 0;
    if (input_.Free() > 0) events |= POLLIN;
    if (output_.Queued() > 0 && writeRetry_ == 0) events |= POLLOUT;
    const int fd = awaiting ? -1 : device_->Fd();
    if (renewed || fd != watchedFd_) {
      WatchDevice(fd, events);
    } else if (deviceWatch_ != 0 && events != watchedEvents_) {
      loop_->Rewatch(deviceWatch_, events);
      watchedEvents_ = events;
    }
    const int peerFd = awaiting ? device_->PeerEventFd() : -1;
    const short peerEvents = device_->PeerEvents();
    if (renewed || peerFd != watchedPeerFd_ || peerEvents != watchedPeerEvents_) {
      WatchPeer(peerFd, peerEvents);
    }
  } catch (const ESerialException& e) {
    ReportLost(e.what());  // epoll refused the device's descriptor
    return;
  }
  if (awaiting && peerTimer_ == 0) {
    peerTimer_ = loop_->Every(Ms(device_->PeerPollMs()), [this] { OnPeer(); });
  } else if (!awaiting && peerTimer_ != 0) {
    loop_->Cancel(std::exchange(peerTimer_, 0));
  }
}

void PortReactor::WatchDevice(int fd, short events) {
  loop_->Unwatch(std::exchange(deviceWatch_, 0));
  watchedFd_ = -1;
  if (fd < 0) return;
  deviceWatch_ = loop_->Watch(fd, events, [this](short revents) { OnDevice(revents); });
  watchedFd_ = fd;
  watchedEvents_ = events;
}

void PortReactor::WatchPeer(int fd, short events) {
  loop_->Unwatch(std::exchange(peerWatch_, 0));
  watchedPeerFd_ = -1;
  if (fd < 0) return;
  peerWatch_ = loop_->Watch(fd, events, [this](short) { OnPeer(); });
  watchedPeerFd_ = fd;
  watchedPeerEvents_ = events;
}

// --- events ---

// Delivers what waits, in order: a departure, data, modem triggers; again while a handler's
// nested loop brought more. An engine already delivering leaves it to that outer call.
void PortReactor::Dispatch() {
  if (dispatching_ || killed_) return;
  const auto self = shared_from_this();
  dispatching_ = true;
  while (!killed_) {
    if (lost_) {
      DeliverLost();
      break;
    }
    uint16_t count = 0;
    if (device_ && events_.notes && device_->NotesWaiting()) {
      events_.notes(device_->TakeNotes());
    } else if (pendingHangUps_ > 0) {
      pendingHangUps_ = 0;
      events_.hangUp();
    } else if (input_.TakeNewData(count)) {
      events_.data(count);
    } else if (!FireTriggers()) {
      break;
    }
  }
  dispatching_ = false;
}

// False when no trigger fired.
bool PortReactor::FireTriggers() {
  const std::vector<SerialTriggers::Fired> fired = triggers_->Fire(status_);
  for (const SerialTriggers::Fired& trigger : fired) {
    // Closed by an earlier one: the trigger stays armed for the next opening.
    if (killed_) {
      triggers_->Rearm(trigger);
    } else {
      events_.modem(trigger.handle);
    }
  }
  return !fired.empty();
}

void PortReactor::ReportLost(const std::string& reason) {
  if (lost_) return;
  lost_ = true;
  lostReason_ = reason;
  Quiesce();  // a dead descriptor would wake the loop over and over until the report is taken
  // Found outside an event (a write of the owner's): told from the loop, never inside the call.
  loop_->Post([weak = weak_from_this()] {
    if (const auto self = weak.lock()) self->Dispatch();
  });
}

void PortReactor::DeliverLost() {
  const std::string reason = lostReason_.empty() ? ErrorText(EIO) : lostReason_;
  events_.lost(portName_ + " was disconnected (" + reason + "). The port has been closed.");
  Stop();  // the owner's handler normally has, by closing the port
}
