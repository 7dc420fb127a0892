#include "AtomicReplace.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace vyo {

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit on links in one lookup

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TemporaryPrefix(const std::string& path) { return BaseOf(path) + ".tmp."; }

std::string TemporaryName(const std::string& path) {
  static std::atomic<unsigned> serial{0};
  return path + ".tmp." + std::to_string(getpid()) + "." + std::to_string(serial++);
}

// The writer's process id in a temporary's name, or 0 when the name is not one of ours.
pid_t WriterOf(const std::string& name, const std::string& prefix) {
  if (name.compare(0, prefix.size(), prefix) != 0) return 0;
  char* end = nullptr;
  const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
  return pid > 0 && *end == '.' ? pid_t(pid) : 0;
}

bool IsDead(pid_t pid) { return pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH; }

// A crash between naming a temporary and renaming it leaves the temporary; the next save beside it
// removes those of writers that no longer run. Only this user's plain files are touched.
void RemoveStaleTemporaries(const std::string& path) {
  DIR* folder = opendir(FolderOf(path).c_str());
  if (folder == nullptr) return;
  const std::string prefix = TemporaryPrefix(path);
  const int saved = errno;
  while (const dirent* entry = readdir(folder)) {
    const pid_t writer = WriterOf(entry->d_name, prefix);
    struct stat st {};
    if (writer != 0 && IsDead(writer) && fstatat(dirfd(folder), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && st.st_uid == geteuid()) {
      unlinkat(dirfd(folder), entry->d_name, 0);
    }
  }
  closedir(folder);
  errno = saved;
}

struct Temporary {
  int fd = -1;
  std::string name;  // empty while the file has no name
};

bool NoUnnamedFiles(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

// An unnamed file in path's folder where the file system has them, else a new named one; with the
// mode of the file it replaces.
Temporary CreateTemporary(const std::string& path) {
  struct stat old {};
  const bool replaces = stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  Temporary temporary;
  // An unnamed file is named through /proc; without it only a named file will do.
  const bool unnamed = access("/proc/self/fd", X_OK) == 0;
  if (unnamed) temporary.fd = open(FolderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (temporary.fd < 0 && (!unnamed || NoUnnamedFiles(errno))) {
    RemoveStaleTemporaries(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
      temporary.name = TemporaryName(path);
      temporary.fd = open(temporary.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (temporary.fd >= 0 || errno != EEXIST) break;
    }
  }
  if (temporary.fd >= 0 && replaces) (void)fchmod(temporary.fd, old.st_mode & 07777);
  return temporary;
}

bool WriteAll(int fd, const uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= std::size_t(n);
  }
  return true;
}

// Gives an unnamed temporary a name beside path.
bool Name(Temporary& temporary, const std::string& path) {
  if (!temporary.name.empty()) return true;
  RemoveStaleTemporaries(path);
  const std::string self = "/proc/self/fd/" + std::to_string(temporary.fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary.name = TemporaryName(path);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != EEXIST) break;
  }
  temporary.name.clear();
  return false;
}

// Makes the rename itself durable; a folder that cannot be flushed does not fail the save.
void FlushFolderOf(const std::string& path) {
  const int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

std::string ReplaceTarget(const std::string& path) {
  std::string target = path;
  char link[4096];
  for (int hops = 0; hops < kMaxLinks; ++hops) {
    const ssize_t n = readlink(target.c_str(), link, sizeof link - 1);
    if (n <= 0) break;
    const std::string next(link, std::size_t(n));
    target = next[0] == '/' ? next : FolderOf(target) + "/" + next;
  }
  return target;
}

bool ReplaceFile(const std::string& given, const uint8_t* data, std::size_t size) {
  const std::string path = ReplaceTarget(given);
  Temporary temporary = CreateTemporary(path);
  if (temporary.fd < 0) return false;
  bool done = WriteAll(temporary.fd, data, size) && fsync(temporary.fd) == 0 && Name(temporary, path);
  int saved = errno;
  if (close(temporary.fd) != 0 && done) {
    done = false;
    saved = errno;
  }
  if (done) {
    done = rename(temporary.name.c_str(), path.c_str()) == 0;
    saved = errno;
  }
  if (!done) {
    if (!temporary.name.empty()) unlink(temporary.name.c_str());
    errno = saved;
    return false;
  }
  FlushFolderOf(path);
  return true;
}

}  // namespace vyo
