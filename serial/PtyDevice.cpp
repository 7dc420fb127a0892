#include "PtyDevice.h"

#include "SerialErrors.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The live port's mark on its far side: a record lock (open file description lock). It is not the
// flock that openers of a serial device take, so a program of this family can still open the link
// as its device, and TtyDevice's flock then keeps everyone else out while that client holds it.
struct flock LivenessLock(short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  return lock;
}

// A link left by a port that no longer exists: its far side is gone or nothing marks it live.
bool StaleLink(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return false;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == EIO;
  struct flock probe = LivenessLock(F_WRLCK);
  const bool unmarked = fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type == F_UNLCK;
  ::close(fd);
  return unmarked;
}

}  // namespace

PtyDevice::PtyDevice(const std::string& linkPath) : TtyDevice(OpenMaster()), linkPath_(linkPath) {
  try {
    char name[PATH_MAX];
    if (ptsname_r(fd_, name, sizeof name) != 0) throw EInOutError(errno, "/dev/ptmx");
    farName_ = name;
    farFd_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (farFd_ < 0) throw EInOutError(errno, farName_);
    struct flock mark = LivenessLock(F_WRLCK);
    fcntl(farFd_, F_OFD_SETLK, &mark);  // marks the link live for StaleLink
    MakeLink();
  } catch (...) {
    if (farFd_ >= 0) ::close(farFd_);
    throw;  // the base closes the master
  }
}

void PtyDevice::MakeLink() {
  if (symlink(farName_.c_str(), linkPath_.c_str()) == 0) return;
  int error = errno;
  if (error == EEXIST && StaleLink(linkPath_) && unlink(linkPath_.c_str()) == 0) {
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
  if (farFd_ >= 0) ::close(farFd_);
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
