#include "TtyDevice.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <utility>

#include "LatencyTimer.h"
#include "SerialErrors.h"

namespace {

struct BaudCode {
  int32_t rate;
  speed_t code;
};
constexpr BaudCode kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

const char* ParityName(TParity parity) {
  switch (parity) {
    case pOdd:
      return "odd";
    case pEven:
      return "even";
    case pMark:
      return "mark";
    case pSpace:
      return "space";
    case pNone:
      break;
  }
  return "none";
}

tcflag_t ParityFlags(TParity parity) {
  switch (parity) {
    case pOdd:
      return PARENB | PARODD;
    case pEven:
      return PARENB;
    case pMark:
      return PARENB | PARODD | CMSPAR;
    case pSpace:
      return PARENB | CMSPAR;
    case pNone:
      break;
  }
  return 0;
}

tcflag_t SizeFlag(int dataBits) {
  switch (dataBits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

void ApplyFlow(termios& tio, const LineSettings& s) {
  if ((s.hwFlow & hwfUseRTS) && (s.hwFlow & hwfRequireCTS)) tio.c_cflag |= CRTSCTS;
  if (s.swFlow == swfTransmit || s.swFlow == swfBoth) tio.c_iflag |= IXON;
  if (s.swFlow == swfReceive || s.swFlow == swfBoth) tio.c_iflag |= IXOFF;
  tio.c_cc[VSTART] = s.xOn;
  tio.c_cc[VSTOP] = s.xOff;
}

bool NoModemLines(int error) { return error == ENOTTY || error == EINVAL; }

// The signal that interrupts a waiting TIOCMIWAIT at close: a real-time signal nobody else has
// claimed, with a handler that does nothing (and no SA_RESTART, so the wait returns EINTR).
// 0 when none is free: the lines are then polled.
int WakeSignal() {
  static const int chosen = [] {
    for (int signal = SIGRTMIN + 4; signal <= SIGRTMAX; ++signal) {
      struct sigaction old {};
      if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
      struct sigaction wake {};
      wake.sa_handler = [](int) {};
      sigemptyset(&wake.sa_mask);
      if (sigaction(signal, &wake, nullptr) == 0) return signal;
    }
    return 0;
  }();
  return chosen;
}

bool DeviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

// The kernel's name of the tty behind `path` ("ttyUSB0" for /dev/serial/by-id/usb-...).
std::string KernelName(const std::string& path) {
  char resolved[PATH_MAX];
  const std::string real = realpath(path.c_str(), resolved) ? resolved : path;
  return real.substr(real.rfind('/') + 1);
}

// Opening a driver's node fails with EIO when no hardware is behind it: no such port either.
[[noreturn]] void RaiseOpenError(int error, const std::string& path) {
  if (error == ENOENT || error == ENODEV || error == ENXIO || error == ENOTDIR || error == EIO) {
    throw EBadId(error);
  }
  if (error == EBUSY || error == EWOULDBLOCK) throw EAlreadyOpen(error);
  throw EInOutError(error, path);
}

}  // namespace

bool SerialBaudSupported(int32_t baud) {
  for (const BaudCode& b : kBauds) {
    if (b.rate == baud) return true;
  }
  return false;
}

TtyDevice::TtyDevice(int fd) : fd_(fd) {}

TtyDevice::TtyDevice(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) RaiseOpenError(errno, path);
  termios tio{};
  const bool terminal = tcgetattr(fd_, &tio) == 0;
  const int notTerminal = errno;
  if (!terminal || flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const int error = terminal ? errno : notTerminal;
    ::close(fd_);
    fd_ = -1;
    RaiseOpenError(error, path);
  }
  if (ioctl(fd_, TIOCEXCL) != 0) Refused("exclusive use (TIOCEXCL)", errno);
  haveCounts_ = ioctl(fd_, TIOCGICOUNT, &counts_) == 0;
  SaveLine(tio);
  AskLowLatency();
  if (auto note = LatencyTimer().Lower(KernelName(path), path)) notes_.push_back(*note);
}

TtyDevice::~TtyDevice() {
  StopWatchingLines();
  if (fd_ < 0) return;
  // The flag would outlive us on a tty whose other side stays open.
  if (!path_.empty()) ioctl(fd_, TIOCNXCL);
  ::close(fd_);
}

void TtyDevice::WatchLines() {
  if (path_.empty() || lineWaiter_.joinable() || WakeSignal() == 0) return;
  lineEvent_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (lineEvent_ < 0) return;
  waiting_ = true;
  lineWaiter_ = std::thread([this] { LineWaitLoop(); });
}

void TtyDevice::LineWaitLoop() {
  const unsigned long lines = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG;
  while (!stopWaiting_) {
    if (Control(TIOCMIWAIT, reinterpret_cast<void*>(lines)) == 0) {
      const uint64_t one = 1;
      [[maybe_unused]] ssize_t n = ::write(lineEvent_, &one, sizeof one);
      continue;
    }
    if (errno == EINTR) continue;
    if (!NoModemLines(errno)) Refused("waiting for line changes (TIOCMIWAIT)", errno);
    break;  // the port's line timer is all there is
  }
  waiting_ = false;
}

void TtyDevice::StopWatchingLines() {
  if (!lineWaiter_.joinable()) return;
  stopWaiting_ = true;
  // A signal sent just before the thread enters the wait is lost: send until it has left.
  while (waiting_) {
    pthread_kill(lineWaiter_.native_handle(), WakeSignal());
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  lineWaiter_.join();
  ::close(lineEvent_);
  lineEvent_ = -1;
}

void TtyDevice::AckModemEvent() {
  uint64_t count = 0;
  [[maybe_unused]] ssize_t n = ::read(lineEvent_, &count, sizeof count);
}

void TtyDevice::SaveLine(const termios& tio) {
  savedTermios_ = tio;
  int bits = 0;
  if (ioctl(fd_, TIOCMGET, &bits) == 0) {
    savedOutputs_ = bits & (TIOCM_DTR | TIOCM_RTS);
  } else if (!NoModemLines(errno)) {
    Refused("reading the modem lines (TIOCMGET)", errno);
  }
  saved_ = true;
}

// Drivers that know the flag hand each received byte on at once instead of batching them.
void TtyDevice::AskLowLatency() {
  serial_struct serial{};
  if (ioctl(fd_, TIOCGSERIAL, &serial) != 0) return;  // not a serial driver: nothing to ask
  if (serial.flags & ASYNC_LOW_LATENCY) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  if (ioctl(fd_, TIOCSSERIAL, &serial) != 0) Refused("low latency (TIOCSSERIAL)", errno);
}

void TtyDevice::Restore() {
  StopWatchingLines();
  if (!saved_) return;
  SetLine(TIOCM_DTR, (savedOutputs_ & TIOCM_DTR) != 0);
  SetLine(TIOCM_RTS, (savedOutputs_ & TIOCM_RTS) != 0);
  if (tcsetattr(fd_, TCSANOW, &savedTermios_) != 0) Refused("restoring the line settings", errno);
}

void TtyDevice::Refused(const std::string& what, int error) {
  if (DeviceGone(error)) return;
  std::lock_guard lock(notesMutex_);
  if (!refused_.insert(what).second) return;
  notes_.push_back("the driver of " + path_ + " refused " + what + ": " + std::strerror(error));
}

std::vector<std::string> TtyDevice::TakeNotes() {
  std::lock_guard lock(notesMutex_);
  return std::exchange(notes_, {});
}

ssize_t TtyDevice::Read(uint8_t* buffer, std::size_t size) { return ::read(fd_, buffer, size); }

ssize_t TtyDevice::Write(const uint8_t* data, std::size_t size) { return ::write(fd_, data, size); }

std::vector<std::string> TtyDevice::Configure(const LineSettings& s) {
  termios tio{};
  if (tcgetattr(fd_, &tio) != 0) throw EInOutError(errno);
  cfmakeraw(&tio);
  tio.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= CLOCAL | CREAD | SizeFlag(s.dataBits) | ParityFlags(s.parity);
  if (s.stopBits == 2) tio.c_cflag |= CSTOPB;
  ApplyFlow(tio, s);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  speed_t speed = B19200;
  for (const BaudCode& b : kBauds) {
    if (b.rate == s.baud) speed = b.code;
  }
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  // The C library reports EINVAL when the driver kept some of the request but not all (a
  // pseudo-terminal drops the parity); what was kept is read back and reported below.
  if (tcsetattr(fd_, TCSANOW, &tio) != 0 && errno != EINVAL) throw EInOutError(errno);

  termios kept{};
  if (tcgetattr(fd_, &kept) != 0) throw EInOutError(errno);
  std::vector<std::string> dropped;
  const tcflag_t parityBits = PARENB | PARODD | CMSPAR;
  if ((kept.c_cflag & parityBits) != (tio.c_cflag & parityBits)) {
    dropped.push_back(std::string("parity ") + ParityName(s.parity) + " was not applied");
  }
  if ((kept.c_cflag & CSIZE) != (tio.c_cflag & CSIZE)) {
    dropped.push_back(std::to_string(s.dataBits) + " data bits were not applied");
  }
  if ((kept.c_cflag & CSTOPB) != (tio.c_cflag & CSTOPB)) {
    dropped.push_back(std::to_string(s.stopBits) + " stop bits were not applied");
  }
  if (cfgetospeed(&kept) != speed) {
    dropped.push_back("baud " + std::to_string(s.baud) + " was not applied");
  }
  return dropped;
}

bool TtyDevice::ReadLines(LineSample& sample) {
  int bits = 0;
  sample = {};
  if (ioctl(fd_, TIOCMGET, &bits) != 0) return NoModemLines(errno);
  if (bits & TIOCM_CTS) sample.lines |= kModemCTS;
  if (bits & TIOCM_DSR) sample.lines |= kModemDSR;
  if (bits & TIOCM_RNG) sample.lines |= kModemRI;
  if (bits & TIOCM_CAR) sample.lines |= kModemDCD;
  serial_icounter_struct now{};
  if (haveCounts_ && ioctl(fd_, TIOCGICOUNT, &now) == 0) {
    // Edges the driver counted between two readings, so a short pulse is not missed.
    if (now.cts != counts_.cts) sample.toggled |= kModemCTS;
    if (now.dsr != counts_.dsr) sample.toggled |= kModemDSR;
    if (now.rng != counts_.rng) sample.toggled |= kModemRI;
    if (now.dcd != counts_.dcd) sample.toggled |= kModemDCD;
    counts_ = now;
  }
  return true;
}

int TtyDevice::Control(unsigned long request, void* argument) {
  return ioctl(fd_, request, argument);
}

bool TtyDevice::SetLine(int bit, bool on) {
  if (Control(on ? TIOCMBIS : TIOCMBIC, &bit) == 0) return true;
  const int error = errno;
  if (NoModemLines(error)) return true;  // a tty without modem lines (a pseudo-terminal)
  Refused(std::string("switching ") + (bit == TIOCM_DTR ? "DTR" : "RTS"), error);
  return false;
}

bool TtyDevice::SetDTR(bool on) { return SetLine(TIOCM_DTR, on); }

bool TtyDevice::SetRTS(bool on) { return SetLine(TIOCM_RTS, on); }

void TtyDevice::FlushInput() {
  if (tcflush(fd_, TCIFLUSH) != 0) Refused("discarding input (TCIFLUSH)", errno);
}

// Told from sysfs, never by opening: on many adapters an open raises DTR and RTS.
bool TtyDevice::Selectable(const std::string& path) {
  char resolved[PATH_MAX];
  struct stat info {};
  if (!realpath(path.c_str(), resolved) || stat(resolved, &info) != 0 || !S_ISCHR(info.st_mode))
    return false;
  const std::string real = resolved;
  if (real.rfind("/dev/pts/", 0) == 0) return true;
  const std::string tty = "/sys/class/tty/" + real.substr(real.rfind('/') + 1);
  if (access((tty + "/dev").c_str(), F_OK) != 0) return false;  // no tty
  // A serial8250 slot with no UART behind it has type 0, unknown.
  std::ifstream type(tty + "/type");
  int value = -1;
  return !(type >> value) || value != 0;
}
