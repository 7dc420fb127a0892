#include "SettingsFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

std::string ErrnoText(const std::string& what, const fs::path& path) {
  return what + " " + path.string() + ": " + std::strerror(errno);
}

// Closes a descriptor on every path out of a function.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

fs::path ConfigHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return xdg;
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".config";
  return fs::temp_directory_path();
}

void WriteAll(int fd, const uint8_t* data, std::size_t size, const fs::path& path) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw SettingsError(ErrnoText("Cannot write", path));
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

// The file a save writes: a symbolic link is followed (also to a file not there yet), so the link
// stays and its target gets the record.
fs::path SaveTarget(const fs::path& path) {
  constexpr int kMaxLinks = 40;
  fs::path target = path;
  std::error_code ec;
  for (int hops = 0; hops < kMaxLinks && fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

fs::path FolderOf(const fs::path& path) {
  return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

std::string TemporaryPrefix(const fs::path& path) { return path.filename().string() + ".tmp."; }

fs::path TemporaryName(const fs::path& path) {
  static std::atomic<unsigned> serial{0};
  return FolderOf(path) /
         (TemporaryPrefix(path) + std::to_string(::getpid()) + "." + std::to_string(serial++));
}

// The writer's process id in a temporary's name, or 0 when the name is not one of ours.
pid_t WriterOf(const std::string& name, const std::string& prefix) {
  if (name.compare(0, prefix.size(), prefix) != 0) return 0;
  char* end = nullptr;
  const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
  return pid > 0 && *end == '.' ? static_cast<pid_t>(pid) : 0;
}

bool IsDead(pid_t pid) { return pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH; }

// A crash between naming a temporary and renaming it leaves the temporary; the next save removes
// those of writers that no longer run. Only this user's plain files are touched.
void RemoveStaleTemporaries(const fs::path& path) {
  DIR* folder = ::opendir(FolderOf(path).c_str());
  if (folder == nullptr) return;
  const std::string prefix = TemporaryPrefix(path);
  while (const dirent* entry = ::readdir(folder)) {
    const pid_t writer = WriterOf(entry->d_name, prefix);
    struct stat st {};
    if (writer != 0 && IsDead(writer) &&
        ::fstatat(::dirfd(folder), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
      ::unlinkat(::dirfd(folder), entry->d_name, 0);
    }
  }
  ::closedir(folder);
}

// A new file is readable by all, as settings files are; a replaced one keeps its mode.
mode_t ModeFor(const fs::path& path) {
  struct stat old {};
  return ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : 0644;
}

// An unnamed file beside path where the file system has them, else a new named one
// (`name` says which); -1 with errno when the folder refuses both.
int CreateTemporary(const fs::path& path, fs::path& name) {
  name.clear();
  // An unnamed file is named through /proc; without it only a named file will do.
  const bool unnamed = ::access("/proc/self/fd", X_OK) == 0;
  int fd = unnamed ? ::open(FolderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600) : -1;
  if (fd < 0 && (!unnamed || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    RemoveStaleTemporaries(path);
    do {
      name = TemporaryName(path);
      fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EEXIST);
    if (fd < 0) name.clear();
  }
  return fd;
}

// Gives an unnamed temporary a name beside path, to be renamed over it.
void NameTemporary(int fd, const fs::path& path, fs::path& name) {
  if (!name.empty()) return;
  RemoveStaleTemporaries(path);
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (;;) {
    name = TemporaryName(path);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return;
    if (errno != EEXIST) break;
  }
  const std::string text = ErrnoText("Cannot create", name);
  name.clear();
  throw SettingsError(text);
}

// When no temporary can be made beside the file (a folder the user may not write), the file itself
// is overwritten with one write; only a plain file is written this way.
void OverwriteInPlace(const fs::path& path, const SettingsRecord::Image& image) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0)
    throw SettingsError(ErrnoText("Cannot write", path));
  if (!S_ISREG(st.st_mode))
    throw SettingsError("Cannot write " + path.string() + ": not a plain file");
  if (::pwrite(fd.get(), image.data(), image.size(), 0) != static_cast<ssize_t>(image.size()) ||
      ::fsync(fd.get()) != 0) {
    throw SettingsError(ErrnoText("Cannot write", path));
  }
}

}  // namespace

std::string SettingsFileName(const std::string& programFileName) {
  const auto dot = programFileName.find('.');
  return programFileName.substr(0, dot) + ".ini";
}

fs::path DefaultSettingsPath(const fs::path& programPath, const std::string& suffix) {
  const std::string name = SettingsFileName(programPath.filename().string());
  const std::string withSuffix = name.substr(0, name.size() - 4) + suffix + ".ini";
  const fs::path folder = programPath.parent_path();
  if (!folder.empty() && ::access(folder.c_str(), W_OK) == 0) return folder / withSuffix;
  // The one folder the program makes; a save never creates folders. If it cannot be made, the
  // first save reports it.
  const fs::path own = ConfigHome() / "selkietest";
  std::error_code ec;
  fs::create_directories(own, ec);
  return own / withSuffix;
}

fs::path ProgramPath() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path("selkietest") : self;
}

bool SettingsFile::Load(SettingsRecord& record) const {
  // Non-blocking, so that a FIFO is refused instead of waiting for a writer.
  Fd fd(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) return false;
    throw SettingsError(ErrnoText("Cannot open", path_));
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) throw SettingsError(ErrnoText("Cannot read", path_));
  if (!S_ISREG(st.st_mode))
    throw SettingsError("Cannot read " + path_.string() + ": not a plain file");
  SettingsRecord::Image image{};
  std::size_t got = 0;
  while (got < image.size()) {
    ssize_t n = ::read(fd.get(), image.data() + got, image.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw SettingsError(ErrnoText("Cannot read", path_));
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  record.FillFrom(std::span<const uint8_t>(image.data(), got));
  return true;
}

void SettingsFile::Save(const SettingsRecord& record) const {
  const fs::path target = SaveTarget(path_);
  const auto image = record.ToBytes();
  const mode_t mode = ModeFor(target);
  fs::path tmp;
  Fd fd(CreateTemporary(target, tmp));
  if (fd.get() < 0) {
    const std::string refused = ErrnoText("Cannot create a file in", FolderOf(target));
    if (::access(target.c_str(), F_OK) != 0) throw SettingsError(refused);
    OverwriteInPlace(target, image);
    return;
  }
  try {
    WriteAll(fd.get(), image.data(), image.size(), target);
    if (::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0)
      throw SettingsError(ErrnoText("Cannot write", target));
    NameTemporary(fd.get(), target, tmp);
    if (::close(fd.release()) != 0) throw SettingsError(ErrnoText("Cannot write", tmp));
    if (::rename(tmp.c_str(), target.c_str()) != 0)
      throw SettingsError(ErrnoText("Cannot replace", target));
  } catch (...) {
    if (!tmp.empty()) ::unlink(tmp.c_str());
    throw;
  }
}
