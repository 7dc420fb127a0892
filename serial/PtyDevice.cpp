#include "PtyDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "SerialErrors.h"

namespace {

int OpenMaster() {
  const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) throw EInOutError(errno, "/dev/ptmx");
  if (grantpt(fd) != 0 || unlockpt(fd) != 0 || fcntl(fd, F_SETFL, O_NONBLOCK) != 0) {
    const int error = errno;
    ::close(fd);
    throw EInOutError(error, "/dev/ptmx");
  }
  return fd;
}

std::string ReadLink(const std::string& path) {
  char target[PATH_MAX];
  const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
  return n < 0 ? std::string() : std::string(target, static_cast<std::size_t>(n));
}

// The link path with its folder resolved, so two spellings of one place name one port.
std::string CanonicalLinkPath(const std::string& linkPath) {
  const std::size_t slash = linkPath.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : linkPath.substr(0, slash + 1);
  char resolved[PATH_MAX];
  if (!realpath(folder.c_str(), resolved)) {
    if (errno == ENOENT || errno == ENOTDIR) throw EBadId();
    throw EInOutError(errno, linkPath);
  }
  return std::string(resolved) + "/" + linkPath.substr(slash + 1);
}

// An abstract socket name (first byte 0) for a link path: short enough for any path.
std::string LivenessName(const std::string& canonicalPath) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : canonicalPath) hash = (hash ^ c) * 1099511628211ull;
  char name[64];
  const int n = std::snprintf(name + 1, sizeof name - 1, "selkietest-pty-%016llx",
                              static_cast<unsigned long long>(hash));
  name[0] = '\0';
  return std::string(name, static_cast<std::size_t>(n) + 1);
}

int BindLivenessName(int socketFd, const std::string& linkPath) {
  const std::string abstractName = LivenessName(CanonicalLinkPath(linkPath));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, abstractName.data(), abstractName.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + abstractName.size());
  return bind(socketFd, reinterpret_cast<const sockaddr*>(&address), length);
}

}  // namespace

PtyDevice::PtyDevice(const std::string& linkPath) : TtyDevice(OpenMaster()), linkPath_(linkPath) {
  try {
    char name[PATH_MAX];
    if (ptsname_r(fd_, name, sizeof name) != 0) throw EInOutError(errno, "/dev/ptmx");
    farName_ = name;
    ClaimLinkName();
    WatchOpens();  // before the link exists, so no client's open is missed
    MakeLink();
  } catch (...) {
    if (openWatch_ >= 0) ::close(openWatch_);
    if (liveness_ >= 0) ::close(liveness_);
    throw;  // the base closes the master
  }
}

// Binding the name succeeds only when no live port holds this link path.
void PtyDevice::ClaimLinkName() {
  liveness_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (liveness_ < 0) throw EInOutError(errno, linkPath_);
  if (BindLivenessName(liveness_, linkPath_) == 0) return;
  if (errno == EADDRINUSE) throw EAlreadyOpen();
  throw EInOutError(errno, linkPath_);
}

bool PtyDevice::LinkInUse(const std::string& linkPath) {
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  bool inUse = false;
  try {
    inUse = BindLivenessName(probe, linkPath) != 0 && errno == EADDRINUSE;
  } catch (const ESerialException&) {
    // no such folder: nobody can serve it
  }
  ::close(probe);
  return inUse;
}

// Opens of the far side wake the port at once when it waits for a client.
void PtyDevice::WatchOpens() {
  openWatch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (openWatch_ >= 0 && inotify_add_watch(openWatch_, farName_.c_str(), IN_OPEN) < 0) {
    ::close(openWatch_);
    openWatch_ = -1;  // the port looks every 50 ms instead
  }
}

void PtyDevice::MakeLink() {
  if (symlink(farName_.c_str(), linkPath_.c_str()) == 0) return;
  int error = errno;
  // The name is ours, so a link there was left by a port that is gone.
  struct stat info {};
  if (error == EEXIST && lstat(linkPath_.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
      unlink(linkPath_.c_str()) == 0) {
    if (symlink(farName_.c_str(), linkPath_.c_str()) == 0) return;
    error = errno;
  }
  if (error == ENOENT || error == ENOTDIR) throw EBadId();
  if (error == EEXIST) throw EAlreadyOpen();
  throw EInOutError(error, linkPath_);
}

PtyDevice::~PtyDevice() {
  // Only our own link: a later port may have replaced it after a crash of ours.
  if (ReadLink(linkPath_) == farName_) unlink(linkPath_.c_str());
  if (openWatch_ >= 0) ::close(openWatch_);
  if (liveness_ >= 0) ::close(liveness_);
}

int PtyDevice::TakeHangUps(short revents) {
  // Opens matter only while waiting for a client; meanwhile they wait in the queue unread.
  if (!connected_ && openWatch_ >= 0) {
    char events[4096];
    while (::read(openWatch_, events, sizeof events) > 0) {
    }
  }
  const bool connected = (revents & POLLHUP) == 0;
  if (connected == connected_) return 0;
  connected_ = connected;
  if (connected) return 0;
  FlushBothWays();
  return 1;
}

// What the client sent that the port has not read, and what the port sent that the client never
// read: the master's input, and the far side's buffers and line discipline.
void PtyDevice::FlushBothWays() {
  tcflush(fd_, TCIOFLUSH);
  const int far = ioctl(fd_, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (far < 0) return;
  tcflush(far, TCIOFLUSH);
  ::close(far);
}

ssize_t PtyDevice::Write(const uint8_t* data, std::size_t size) {
  if (!connected_) {
    dropped_ += size;
    return static_cast<ssize_t>(size);
  }
  return TtyDevice::Write(data, size);
}

bool PtyDevice::ReadLines(LineSample& sample) {
  sample = {};  // a pseudo-terminal has no modem lines
  return true;
}

bool PtyDevice::Selectable(const std::string& linkPath) {
  const std::size_t slash = linkPath.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : linkPath.substr(0, slash + 1);
  struct stat info {};
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
