#include "SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string OctalMode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", unsigned(mode & 07777));
  return text;
}

// What is wrong with a lock file found at path, or "" when it is this user's own plain file.
std::string Problem(const std::filesystem::path& path, const struct stat& st) {
  if (S_ISLNK(st.st_mode)) return "the lock file " + path.string() + " is a symbolic link";
  if (!S_ISREG(st.st_mode)) return "the lock file " + path.string() + " is not a plain file";
  if (st.st_uid != ::geteuid()) {
    return "the lock file " + path.string() + " belongs to uid " + std::to_string(st.st_uid) +
           " (mode " + OctalMode(st.st_mode) + "), not to this user (uid " +
           std::to_string(::geteuid()) + ")";
  }
  return "";
}

std::string Unusable(const std::string& problem) {
  return problem + "; running without the check for another copy";
}

}  // namespace

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
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    const int error = errno;
    struct stat st {};
    const std::string problem = ::lstat(path_.c_str(), &st) == 0 ? Problem(path_, st) : "";
    warning_ = Unusable(problem.empty() ? "cannot open the lock file " + path_.string() + ": " +
                                              std::strerror(error)
                                        : problem);
    return true;
  }
  struct stat st {};
  const std::string problem =
      ::fstat(fd, &st) == 0 ? Problem(path_, st) : "cannot inspect " + path_.string();
  if (!problem.empty()) {
    ::close(fd);
    warning_ = Unusable(problem);
    return true;
  }
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
