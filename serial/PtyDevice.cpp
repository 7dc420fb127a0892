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
    if (errno == ENOENT || errno == ENOTDIR) throw EBadId(errno);
    throw EInOutError(errno, linkPath);
  }
  return std::string(resolved) + "/" + linkPath.substr(slash + 1);
}

// Each user's ports have names of their own, and a few alternates: a name another user holds
// is passed over, so planting one cannot block a path.
constexpr int kLivenessNames = 8;

sockaddr_un AbstractAddress(const std::string& name, socklen_t& length) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, name.data(), name.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
  return address;
}

enum class Holder { Nobody, Us, Someone };

// Whether a live port of this user holds `name`: whoever holds it is asked who they are.
Holder HolderOf(const std::string& name) {
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (probe < 0) return Holder::Someone;
  socklen_t length = 0;
  const sockaddr_un address = AbstractAddress(name, length);
  Holder holder = Holder::Someone;
  ucred peer{};
  socklen_t peerSize = sizeof peer;
  if (connect(probe, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
      getsockopt(probe, SOL_SOCKET, SO_PEERCRED, &peer, &peerSize) == 0 && peer.uid == geteuid()) {
    holder = Holder::Us;
  }
  ::close(probe);
  return holder;
}

// A listening socket bound to `name`, or -1 with the holder of the name.
int BindName(const std::string& name, Holder& holder, const std::string& linkPath) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw EInOutError(errno, linkPath);
  socklen_t length = 0;
  const sockaddr_un address = AbstractAddress(name, length);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
      listen(fd, SOMAXCONN) == 0) {
    holder = Holder::Nobody;
    return fd;
  }
  const int error = errno;
  ::close(fd);
  if (error != EADDRINUSE) throw EInOutError(error, linkPath);
  holder = HolderOf(name);
  return -1;
}

// A socket holding a free name of this path, or -1 when a live port of ours holds one already.
// Every name is looked at: a port may hold a later one while an earlier one was taken.
int ClaimFreeName(const std::string& linkPath) {
  const std::string canonical = CanonicalLinkPath(linkPath);
  int claimed = -1;
  for (int index = 0; index < kLivenessNames; ++index) {
    Holder holder = Holder::Nobody;
    const int fd = BindName(PtyDevice::LivenessName(canonical, index), holder, linkPath);
    if (holder == Holder::Us) {
      if (claimed >= 0) ::close(claimed);
      return -1;
    }
    if (fd >= 0 && claimed < 0) {
      claimed = fd;
    } else if (fd >= 0) {
      ::close(fd);
    }
  }
  if (claimed < 0) {
    throw EInOutError(EADDRINUSE, linkPath + " (its port names are all held by other users)");
  }
  return claimed;
}

}  // namespace

PtyDevice::PtyDevice(const std::string& linkPath) : TtyDevice(OpenMaster()), linkPath_(linkPath) {
  try {
    char name[PATH_MAX];
    if (ptsname_r(fd_, name, sizeof name) != 0) throw EInOutError(errno, "/dev/ptmx");
    farName_ = name;
    // A far side never opened raises no hang-up: open and close it once, so that "nobody
    // connected" shows from the start and nothing is kept for the first client.
    if (const int far = ioctl(fd_, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_CLOEXEC); far >= 0)
      ::close(far);
    ClaimLinkName();
    WatchOpens();  // before the link exists, so no client's open is missed
    MakeLink();
  } catch (...) {
    if (openWatch_ >= 0) ::close(openWatch_);
    if (liveness_ >= 0) ::close(liveness_);
    throw;  // the base closes the master
  }
}

std::string PtyDevice::LivenessName(const std::string& canonicalPath, int index) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : canonicalPath) hash = (hash ^ c) * 1099511628211ull;
  char name[96];
  const int n =
      std::snprintf(name + 1, sizeof name - 1, "selkietest-pty-%u-%016llx-%d",
                    static_cast<unsigned>(geteuid()), static_cast<unsigned long long>(hash), index);
  name[0] = '\0';  // abstract: no file, gone with the process
  return std::string(name, static_cast<std::size_t>(n) + 1);
}

// Claiming a name succeeds only when no live port of this user holds this link path.
void PtyDevice::ClaimLinkName() {
  liveness_ = ClaimFreeName(linkPath_);
  if (liveness_ < 0) throw EAlreadyOpen();
}

bool PtyDevice::LinkInUse(const std::string& linkPath) {
  try {
    const std::string canonical = CanonicalLinkPath(linkPath);
    for (int index = 0; index < kLivenessNames; ++index) {
      if (HolderOf(LivenessName(canonical, index)) == Holder::Us) return true;
    }
  } catch (const ESerialException&) {
    // no such folder: nobody can serve it
  }
  return false;
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
  if (error == ENOENT || error == ENOTDIR) throw EBadId(error);
  if (error == EEXIST) throw EAlreadyOpen();
  throw EInOutError(error, linkPath_);
}

std::vector<std::string> PtyDevice::Configure(const LineSettings& settings) {
  TtyDevice::Configure(settings);
  return {};
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
