#include "SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

SingleInstance::~SingleInstance() {
  if (fd_ >= 0) ::close(fd_);
}

std::filesystem::path SingleInstance::LockPath() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
    return std::filesystem::path(runtime) / "selkietestpOneCopy.lock";
  return "/tmp/selkietestpOneCopy-" + std::to_string(::getuid()) + ".lock";
}

bool SingleInstance::Acquire() {
  if (fd_ >= 0) return true;
  const int fd = ::open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return true;
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return !held;
  }
  fd_ = fd;
  return true;
}
