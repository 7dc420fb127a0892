#include "NullModemCable.h"

#include "SerialErrors.h"

#include <array>
#include <cerrno>
#include <mutex>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct EndState {
  bool open = false;
  bool dtr = false;
  bool rts = false;
  int modemEvent = -1;
};

// The cable itself lives as long as the process: one socket pair carries the bytes both ways.
struct Cable {
  std::mutex mutex;
  std::array<int, 2> fds{-1, -1};
  std::array<EndState, 2> ends;

  static Cable& Instance() {
    static Cable cable;
    return cable;
  }

  void Connect() {
    if (fds[0] >= 0) return;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0) {
      throw EInOutError(errno, "virtual cable");
    }
    fds = {pair[0], pair[1]};
  }

  // Wakes the dispatcher of `end` when its input lines may have changed.
  void Signal(int end) {
    if (ends[end].open) {
      const uint64_t one = 1;
      [[maybe_unused]] ssize_t n = ::write(ends[end].modemEvent, &one, sizeof one);
    }
  }
};

void Drain(int fd) {
  uint8_t scrap[4096];
  while (::read(fd, scrap, sizeof scrap) > 0) {
  }
}

}  // namespace

NullModemCableEnd::NullModemCableEnd(int end) : end_(end) {
  Cable& cable = Cable::Instance();
  std::lock_guard lock(cable.mutex);
  if (cable.ends[end].open) throw EAlreadyOpen();
  cable.Connect();
  modemEvent_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (modemEvent_ < 0) throw EInOutError(errno, "virtual cable");
  fd_ = cable.fds[end];
  Drain(fd_);  // what was sent while this end was unplugged never arrived
  cable.ends[end] = EndState{true, false, false, modemEvent_};
  cable.Signal(1 - end);
}

NullModemCableEnd::~NullModemCableEnd() {
  Cable& cable = Cable::Instance();
  std::lock_guard lock(cable.mutex);
  cable.ends[end_] = EndState{};
  cable.Signal(1 - end_);
  ::close(modemEvent_);
}

void NullModemCableEnd::AckModemEvent() {
  uint64_t count = 0;
  [[maybe_unused]] ssize_t n = ::read(modemEvent_, &count, sizeof count);
}

ssize_t NullModemCableEnd::Read(uint8_t* buffer, std::size_t size) {
  return ::read(fd_, buffer, size);
}

ssize_t NullModemCableEnd::Write(const uint8_t* data, std::size_t size) {
  Cable& cable = Cable::Instance();
  std::lock_guard lock(cable.mutex);
  if (!cable.ends[1 - end_].open) return static_cast<ssize_t>(size);  // nobody listening
  return ::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
}

bool NullModemCableEnd::ReadLines(LineSample& sample) {
  Cable& cable = Cable::Instance();
  std::lock_guard lock(cable.mutex);
  const EndState& other = cable.ends[1 - end_];
  sample = {};
  if (other.dtr) sample.lines |= kModemDSR | kModemDCD;
  if (other.rts) sample.lines |= kModemCTS;
  return true;
}

void NullModemCableEnd::SetDTR(bool on) {
  Cable& cable = Cable::Instance();
  std::lock_guard lock(cable.mutex);
  cable.ends[end_].dtr = on;
  cable.Signal(1 - end_);
}

void NullModemCableEnd::SetRTS(bool on) {
  Cable& cable = Cable::Instance();
  std::lock_guard lock(cable.mutex);
  cable.ends[end_].rts = on;
  cable.Signal(1 - end_);
}

void NullModemCableEnd::FlushInput() { Drain(fd_); }

bool NullModemCableEnd::EndOpen(int end) {
  Cable& cable = Cable::Instance();
  std::lock_guard lock(cable.mutex);
  return cable.ends[end].open;
}
