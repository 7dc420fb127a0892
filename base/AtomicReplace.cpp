#include "AtomicReplace.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace base {

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

ReplaceResult Failure(const std::string& step, const std::string& path, int error = errno) {
  return ReplaceResult{error, step + " " + path, ""};
}

// Closes a descriptor on every path out of a function.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || close(fd) == 0;
  }

 private:
  int fd_;
};

// path with every symbolic link along its last component followed, also a link to a file that
// does not exist yet.
std::string FollowLinks(const std::string& path) {
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

// A crash between naming a temporary and renaming it leaves the temporary; the next replace beside
// it removes those of writers that no longer run. Only this user's plain files are touched.
void RemoveStaleTemporaries(const std::string& path) {
  DIR* folder = opendir(FolderOf(path).c_str());
  if (folder == nullptr) return;
  const int saved = errno;
  const std::string prefix = TemporaryPrefix(path);
  while (const dirent* entry = readdir(folder)) {
    const pid_t writer = WriterOf(entry->d_name, prefix);
    struct stat st {};
    if (writer != 0 && IsDead(writer) &&
        fstatat(dirfd(folder), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && st.st_uid == geteuid()) {
      unlinkat(dirfd(folder), entry->d_name, 0);
    }
  }
  closedir(folder);
  errno = saved;
}

bool NoUnnamedFiles(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

// An unnamed file in path's folder where the file system has them, else a new named one (`name`
// says which); -1 with errno when the folder refuses both. Names planted by others (links
// included) are passed over, never opened.
int CreateTemporary(const std::string& path, std::string& name) {
  name.clear();
  // An unnamed file is named through /proc; without it only a named file will do.
  const bool unnamed = access("/proc/self/fd", X_OK) == 0;
  int fd = unnamed ? open(FolderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666) : -1;
  if (fd < 0 && (!unnamed || NoUnnamedFiles(errno))) {
    RemoveStaleTemporaries(path);
    do {
      name = TemporaryName(path);
      fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EEXIST);
    if (fd < 0) name.clear();
  }
  return fd;
}

// Gives an unnamed temporary a name beside path, to be renamed over it.
bool NameTemporary(int fd, const std::string& path, std::string& name) {
  if (!name.empty()) return true;
  RemoveStaleTemporaries(path);
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  do {
    name = TemporaryName(path);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  } while (errno == EEXIST);
  name.clear();
  return false;
}

bool WriteAll(int fd, std::span<const uint8_t> content) {
  off_t at = 0;
  while (at < off_t(content.size())) {
    const ssize_t n = pwrite(fd, content.data() + at, content.size() - std::size_t(at), at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;
      return false;
    }
    at += n;
  }
  return true;
}

// The rename itself survives a power cut only once its folder is flushed; a folder that cannot
// be flushed does not fail the replace.
void FlushFolderOf(const std::string& path) {
  Fd folder(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) fsync(folder.get());
}

// The fallback where no temporary can live beside the file: one write over the old content, cut
// to length. Only a plain file is written this way.
ReplaceResult OverwriteInPlace(const std::string& path, std::span<const uint8_t> content) {
  Fd fd(open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0) return Failure("Cannot write", path);
  if (!S_ISREG(st.st_mode))
    return ReplaceResult{EINVAL, "Cannot write " + path, "not a plain file"};
  if (!WriteAll(fd.get(), content) || ftruncate(fd.get(), off_t(content.size())) != 0 ||
      fsync(fd.get()) != 0 || !fd.Close()) {
    return Failure("Cannot write", path);
  }
  return {};
}

// A rename the folder refuses although a temporary could be made there (another user's file in
// a sticky folder).
bool RenameRefused(int error) { return error == EPERM || error == EACCES; }

// Fills the temporary, names it and renames it over path; the temporary is closed either way.
ReplaceResult FillAndRename(Fd& fd, std::string& name, const std::string& path,
                            std::optional<mode_t> mode, std::span<const uint8_t> content) {
  if ((mode && fchmod(fd.get(), *mode) != 0) || !WriteAll(fd.get(), content) ||
      fsync(fd.get()) != 0) {
    return Failure("Cannot write", path);
  }
  if (!NameTemporary(fd.get(), path, name))
    return Failure("Cannot create a file in", FolderOf(path));
  if (!fd.Close()) return Failure("Cannot write", name);
  if (rename(name.c_str(), path.c_str()) != 0) return Failure("Cannot replace", path);
  return {};
}

}  // namespace

std::string ReplaceResult::Message() const {
  return step + ": " + (reason.empty() ? std::strerror(error) : reason);
}

ReplaceResult ReplaceFile(const std::string& given, std::span<const uint8_t> content,
                          const ReplaceOptions& options) {
  const std::string path = FollowLinks(given);
  struct stat old {};
  const bool exists = lstat(path.c_str(), &old) == 0;
  if (exists && options.onlyWritableFiles &&
      faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    return Failure("Cannot write", path);
  }
  const std::optional<mode_t> mode = exists && S_ISREG(old.st_mode)
                                         ? std::optional<mode_t>(old.st_mode & 07777)
                                         : options.newFileMode;
  std::string name;
  Fd fd(CreateTemporary(path, name));
  if (fd.get() < 0) {
    if (!exists) return Failure("Cannot create a file in", FolderOf(path));
    return OverwriteInPlace(path, content);
  }
  const ReplaceResult result = FillAndRename(fd, name, path, mode, content);
  if (!result) {
    if (!name.empty()) unlink(name.c_str());
    if (exists && RenameRefused(result.error)) return OverwriteInPlace(path, content);
    return result;
  }
  FlushFolderOf(path);
  return result;
}

}  // namespace base
