#include "NullModemCable.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <mutex>

#include "SerialErrors.h"

namespace {

struct EndState {
  bool open = false;
  bool dtr = false;
  bool rts = false;
  int modemEvent = -1;
  // Switches of the outputs since the process started, so the other end sees a short pulse
  // even when it reads the lines only before and after it (as a driver's line counters do).
  uint32_t dtrSwitches = 0;
  uint32_t rtsSwitches = 0;
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

  void SetOutputs(int end, bool dtr, bool rts) {
    EndState& state = ends[end];
    if (state.dtr != dtr) ++state.dtrSwitches;
    if (state.rts != rts) ++state.rtsSwitches;
    state.dtr = dtr;
    state.rts = rts;
    Signal(1 - end);
  }

  // Wakes the loop of `end` when its input lines may have changed.
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
  cable.ends[end].open = true;
  cable.ends[end].modemEvent = modemEvent_;
  seenDtrSwitches_ = cable.ends[1 - end].dtrSwitches;
  seenRtsSwitches_ = cable.ends[1 - end].rtsSwitches;
  cable.Signal(1 - end);
}

NullModemCableEnd::~NullModemCableEnd() {
  Cable& cable = Cable::Instance();
  std::lock_guard lock(cable.mutex);
  cable.SetOutputs(end_, false, false);  // unplugged: drives nothing
  cable.ends[end_].open = false;
  cable.ends[end_].modemEvent = -1;
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
  if (other.dtrSwitches != seenDtrSwitches_) sample.toggled |= kModemDSR | kModemDCD;
  if (other.rtsSwitches != seenRtsSwitches_) sample.toggled |= kModemCTS;
  seenDtrSwitches_ = other.dtrSwitches;
  seenRtsSwitches_ = other.rtsSwitches;
  return true;
}

bool NullModemCableEnd::SetDTR(bool on) {
  Cable& cable = Cable::Instance();
  std::lock_guard lock(cable.mutex);
  cable.SetOutputs(end_, on, cable.ends[end_].rts);
  return true;
}

bool NullModemCableEnd::SetRTS(bool on) {
  Cable& cable = Cable::Instance();
  std::lock_guard lock(cable.mutex);
  cable.SetOutputs(end_, cable.ends[end_].dtr, on);
  return true;
}

void NullModemCableEnd::FlushInput() { Drain(fd_); }

bool NullModemCableEnd::EndOpen(int end) {
  Cable& cable = Cable::Instance();
  std::lock_guard lock(cable.mutex);
  return cable.ends[end].open;
}
