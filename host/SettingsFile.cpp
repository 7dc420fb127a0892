#include "SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "AtomicReplace.h"

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

 private:
  int fd_;
};

fs::path ConfigHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return xdg;
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".config";
  return fs::temp_directory_path();
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
  const auto image = record.ToBytes();
  // A new settings file is readable by all, as settings files are.
  const base::ReplaceResult saved = base::ReplaceFile(path_.string(), image, {.newFileMode = 0644});
  if (!saved) throw SettingsError(saved.Message());
}
