#include "SerialDispatch.h"

#include <poll.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "SerialTriggers.h"

namespace {

std::string ErrorText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

bool Transient(int error) { return error == EAGAIN || error == EINTR; }

constexpr int kLostRetryMs = 50;

}  // namespace

// One event handed to the owner. The callable checks in before running, so an event the
// dispatcher gave up on (time-out) never runs late; one still running at the time-out is `late`:
// the dispatcher goes on without it and is woken when it returns.
struct SerialDispatch::Ticket {
  enum State { Pending, Running, Done, Abandoned };
  std::mutex mutex;
  State state = Pending;
  bool late = false;
};

SerialDispatch::SerialDispatch(std::unique_ptr<SerialDevice> device, EventInvokerPtr invoker,
                               std::shared_ptr<SerialTriggers> triggers, std::size_t outSize,
                               std::string portName)
    : device_(std::move(device)),
      deviceFd_(device_->Fd()),
      invoker_(std::move(invoker)),
      triggers_(std::move(triggers)),
      portName_(std::move(portName)),
      output_(outSize),
      pollIntervalMs_(device_->LinePollMs()) {}

SerialDispatch::~SerialDispatch() { Stop(); }

void SerialDispatch::Start(Events events) {
  events_ = std::move(events);
  device_->WatchLines();
  LineSample sample;
  device_->ReadLines(sample);
  status_.Reset(sample);
  triggers_->Rebase(status_);
  // The threads that hand events over hold the engine: one may outlive the port while its last
  // event returns.
  reader_ = std::thread([self = shared_from_this()] { self->ReaderLoop(); });
  writer_ = std::thread([this] { WriterLoop(); });
  dispatcher_ = std::thread([self = shared_from_this()] { self->DispatchLoop(); });
}

void SerialDispatch::Stop() {
  std::thread::id delivering;
  {
    std::lock_guard lock(stateMutex_);
    if (killed_.exchange(true) && !reader_.joinable()) return;
    if (inEvent_) delivering = deliveringThread_;
  }
  readerWake_.Signal();
  writerWake_.Signal();
  dispatchWake_.Signal();
  // A thread waiting in the invoker (perhaps for this very thread) is let go; it touches nothing
  // of the device when it comes back.
  const auto release = [&](std::thread& thread) {
    if (!thread.joinable()) return;
    if (thread.get_id() == delivering || thread.get_id() == std::this_thread::get_id()) {
      thread.detach();
    } else {
      thread.join();
    }
  };
  release(reader_);
  if (writer_.joinable()) writer_.join();
  release(dispatcher_);
  std::lock_guard lock(deviceMutex_);
  if (!device_) return;
  device_->Restore();
  closingNotes_ = device_->TakeNotes();
  device_.reset();
}

std::vector<std::string> SerialDispatch::Configure(const LineSettings& settings) {
  std::lock_guard lock(deviceMutex_);
  return device_ ? device_->Configure(settings) : std::vector<std::string>{};
}

bool SerialDispatch::Write(const uint8_t* data, std::size_t size) {
  std::size_t sent = 0;
  // Nothing queued (only this thread queues): write at once and spare a reply the hand-over to
  // the writer thread. What the device does not take now goes through the ring as usual.
  if (output_.Queued() == 0 && size <= output_.Capacity()) {
    std::lock_guard lock(deviceMutex_);
    const ssize_t n = device_ ? device_->Write(data, size) : 0;
    if (n > 0) sent = static_cast<std::size_t>(n);
  }
  if (sent == size) return true;
  if (!output_.Put(data + sent, size - sent)) return false;
  writerWake_.Signal();
  return true;
}

void SerialDispatch::Consumed(std::size_t count) {
  const bool wasFull = input_.Free() == 0;
  input_.Consume(count);
  if (wasFull && count > 0) readerWake_.Signal();
}

void SerialDispatch::DiscardInput() {
  {
    std::lock_guard lock(deviceMutex_);
    if (device_) device_->FlushInput();
  }
  input_.DiscardAll();
  readerWake_.Signal();
}

bool SerialDispatch::SetDTR(bool on) {
  std::lock_guard lock(deviceMutex_);
  return device_ && device_->SetDTR(on);
}

bool SerialDispatch::SetRTS(bool on) {
  std::lock_guard lock(deviceMutex_);
  return device_ && device_->SetRTS(on);
}

std::vector<std::string> SerialDispatch::TakeNotes() {
  std::lock_guard lock(deviceMutex_);
  return device_ ? device_->TakeNotes() : std::exchange(closingNotes_, {});
}

uint64_t SerialDispatch::DroppedBytes() {
  std::lock_guard lock(deviceMutex_);
  return device_ ? device_->DroppedBytes() : 0;
}

void SerialDispatch::ReportLost(const std::string& reason) {
  {
    std::lock_guard lock(stateMutex_);
    if (lost_) return;
    lost_ = true;
    lostReason_ = reason;
  }
  dispatchWake_.Signal();
}

// --- reader ---

void SerialDispatch::ReaderLoop() {
  const int peerFd = device_->PeerEventFd();
  while (!killed_) {
    const bool awaiting = device_->AwaitingClient();
    const short wanted = input_.Free() > 0 ? POLLIN : 0;
    pollfd fds[3] = {{awaiting ? -1 : deviceFd_, wanted, 0},
                     {readerWake_.Fd(), POLLIN, 0},
                     {awaiting ? peerFd : -1, POLLIN, 0}};
    if (poll(fds, 3, awaiting ? pollIntervalMs_ : -1) < 0 && !Transient(errno)) {
      return ReportLost(ErrorText(errno));
    }
    if (killed_) return;
    if (fds[1].revents) readerWake_.Clear();
    if (awaiting) {
      pollfd probe{deviceFd_, wanted, 0};
      if (poll(&probe, 1, 0) < 0) continue;
      fds[0].revents = probe.revents;
    }
    // Before the data: what is read after a departure belongs to the next client.
    TakeHangUps(fds[0].revents);
    if (fds[0].revents && !device_->AwaitingClient() && !ReadInput(fds[0].revents)) return;
  }
}

void SerialDispatch::TakeHangUps(short revents) {
  if (device_->TakeHangUps(revents) == 0) return;
  output_.DropAll();
  input_.MarkForDiscard();
  ++pendingHangUps_;
  dispatchWake_.Signal();
}

// Moves what the device holds into the ring; false when the device has gone.
bool SerialDispatch::ReadInput(short revents) {
  const bool hangup = (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  if (revents & POLLIN) {
    uint8_t chunk[ReceiveRing::kSize];
    const ssize_t n = device_->Read(chunk, input_.Free());
    if (n > 0) {
      input_.Append(chunk, static_cast<std::size_t>(n));
      if (!HandDataOver()) dispatchWake_.Signal();
      return true;
    }
    const int error = n == 0 ? EIO : errno;
    if (n < 0 && Transient(error)) return true;
    if (device_->HangupMeansLost() || (error != EIO && n < 0)) {
      ReportLost(n == 0 ? "end of input" : ErrorText(error));
      return false;
    }
  }
  if (hangup && device_->HangupMeansLost()) {
    ReportLost("the line hung up");
    return false;
  }
  return true;
}

// False when the dispatcher is to deliver it: something is being handed over or waits.
bool SerialDispatch::HandDataOver() {
  std::unique_lock handOver(handOver_, std::try_to_lock);
  if (!handOver || pendingHangUps_ > 0) return false;
  const bool delivered = DeliverNewData();
  handOver.unlock();
  if (dispatcherDeferred_.exchange(false)) dispatchWake_.Signal();
  return delivered;
}

// Raises the data event for bytes not yet reported; false when it is still to be raised.
bool SerialDispatch::DeliverNewData() {
  const uint64_t reportedBefore = input_.Reported();
  uint16_t count = 0;
  if (!input_.TakeNewData(count)) return true;
  if (Deliver([this, count] { events_.data(count); })) return true;
  input_.Unreport(reportedBefore);
  return false;
}

// --- writer ---

void SerialDispatch::WriterLoop() {
  while (!killed_) {
    const OutputRing::Run run = output_.NextRun();
    // With nothing to write the device is left out: a hang-up would wake poll() at once, over
    // and over, until the port is closed (the reader reports it).
    pollfd fds[2] = {{run.size ? deviceFd_ : -1, POLLOUT, 0}, {writerWake_.Fd(), POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 && !Transient(errno)) return ReportLost(ErrorText(errno));
    if (killed_) return;
    if (fds[1].revents) writerWake_.Clear();
    if (!run.size || !(fds[0].revents & (POLLOUT | POLLERR | POLLHUP))) continue;
    const ssize_t n = device_->Write(run.bytes, run.size);
    if (n > 0) {
      output_.Release(run, static_cast<std::size_t>(n));
    } else if (n < 0 && !Transient(errno)) {
      if (device_->HangupMeansLost() || errno != EIO) return ReportLost(ErrorText(errno));
      poll(fds + 1, 1, pollIntervalMs_);  // a virtual device without a client: wait for one
    }
  }
}

// --- dispatcher ---

bool SerialDispatch::RefreshLines() {
  // Under the device lock: a reading and its Update stay in order between the two threads.
  std::lock_guard lock(deviceMutex_);
  if (!device_) return true;
  LineSample sample;
  if (!device_->ReadLines(sample)) return false;
  status_.Update(sample);
  return true;
}

void SerialDispatch::DispatchLoop() {
  const int modemFd = device_->ModemEventFd();
  while (!killed_) {
    pollfd fds[2] = {{dispatchWake_.Fd(), POLLIN, 0}, {modemFd, POLLIN, 0}};
    poll(fds, modemFd >= 0 ? 2 : 1, pollIntervalMs_);
    if (killed_) return;
    if (fds[0].revents) dispatchWake_.Clear();
    if (modemFd >= 0 && fds[1].revents) {
      std::lock_guard lock(deviceMutex_);  // a dispatcher let go may outlive the device
      if (device_) device_->AckModemEvent();
    }
    bool lost = false;
    {
      std::lock_guard lock(stateMutex_);
      lost = lost_;
    }
    if (lost || !RefreshLines()) return DeliverLost();
    dispatcherDeferred_ = true;
    std::unique_lock handOver(handOver_, std::try_to_lock);
    if (!handOver) continue;  // the reader is handing data over; it wakes us when done
    dispatcherDeferred_ = false;
    // A departure reaches the owner before any data, so the next client's bytes are never read
    // together with the last one's.
    if (const int hangUps = pendingHangUps_.exchange(0);
        hangUps > 0 && !Deliver([this] { events_.hangUp(); })) {
      pendingHangUps_ += hangUps;
    }
    for (const SerialTriggers::Fired& fired : triggers_->Fire(status_)) {
      // Not taken: arm it as it was, so the change is offered again on the next pass.
      const uint16_t handle = fired.handle;
      if (!Deliver([this, handle] { events_.modem(handle); })) triggers_->Rearm(fired);
    }
    if (pendingHangUps_ == 0) DeliverNewData();
  }
}

void SerialDispatch::DeliverLost() {
  std::string reason;
  {
    std::lock_guard lock(stateMutex_);
    lost_ = true;
    reason = lostReason_.empty() ? ErrorText(EIO) : lostReason_;
  }
  const std::string message =
      portName_ + " was disconnected (" + reason + "). The port has been closed.";
  // Keep offering it: the owner must learn that the port is gone. An invoker may refuse at once
  // (its owner is going away), so pause between offers; Stop wakes the pause.
  const auto offer = [&] {
    std::unique_lock handOver(handOver_, std::try_to_lock);
    return handOver && Deliver([this, message] { events_.lost(message); });
  };
  while (!killed_ && !offer()) {
    pollfd wake{dispatchWake_.Fd(), POLLIN, 0};
    if (poll(&wake, 1, kLostRetryMs) > 0) dispatchWake_.Clear();
  }
}

// Runs `event` on the owner thread through the invoker; false when it did not run and is to be
// offered again. A handler still running at the time-out counts as taken: the dispatcher goes
// on, but hands the owner nothing more until that handler has returned.
bool SerialDispatch::Deliver(const std::function<void()>& event) {
  {
    std::lock_guard lock(stateMutex_);
    if (killed_ || LateHandlerRunning()) return false;
    inEvent_ = true;
    deliveringThread_ = std::this_thread::get_id();
  }
  auto ticket = std::make_shared<Ticket>();
  // The queued call holds the engine only weakly: an owner that never runs its queue (an idle
  // loop) must not keep a closed port's engine, and the invoker it holds, alive in a cycle.
  auto call = [ticket, weak = weak_from_this(), event] {
    const auto self = weak.lock();
    if (!self) return;
    {
      std::lock_guard lock(ticket->mutex);
      if (ticket->state != Ticket::Pending) return;
      ticket->state = Ticket::Running;
    }
    if (!self->killed_) event();
    std::lock_guard lock(ticket->mutex);
    ticket->state = Ticket::Done;
    if (ticket->late) self->dispatchWake_.Signal();  // what waited meanwhile goes now
  };
  bool ran = invoker_->Invoke(call, kEventTimeoutMs);
  if (!ran) {
    std::lock_guard lock(ticket->mutex);
    if (ticket->state == Ticket::Pending) ticket->state = Ticket::Abandoned;
    ticket->late = ticket->state == Ticket::Running;
    ran = ticket->state != Ticket::Abandoned;
  }
  std::lock_guard lock(stateMutex_);
  inEvent_ = false;
  if (ticket->late) lateTicket_ = ticket;
  return ran;
}

bool SerialDispatch::LateHandlerRunning() {
  if (!lateTicket_) return false;
  std::lock_guard lock(lateTicket_->mutex);
  if (lateTicket_->state == Ticket::Running) return true;
  lateTicket_.reset();
  return false;
}
