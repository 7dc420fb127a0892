#include "SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
  return ConfigHome() / "selkietest" / withSuffix;
}

fs::path ProgramPath() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path("selkietest") : self;
}

bool SettingsFile::Load(SettingsRecord& record) const {
  Fd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) return false;
    throw SettingsError(ErrnoText("Cannot open", path_));
  }
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
  const fs::path folder = path_.has_parent_path() ? path_.parent_path() : fs::path(".");
  std::error_code ec;
  fs::create_directories(folder, ec);
  std::string tmpl = (folder / (path_.filename().string() + ".XXXXXX")).string();
  Fd fd(::mkstemp(tmpl.data()));
  if (fd.get() < 0) throw SettingsError(ErrnoText("Cannot create a file in", folder));
  const fs::path tmp = tmpl;
  try {
    const auto image = record.ToBytes();
    WriteAll(fd.get(), image.data(), image.size(), tmp);
    if (::fchmod(fd.get(), 0644) != 0 || ::fsync(fd.get()) != 0)
      throw SettingsError(ErrnoText("Cannot write", tmp));
    if (::close(fd.release()) != 0) throw SettingsError(ErrnoText("Cannot write", tmp));
    if (::rename(tmp.c_str(), path_.c_str()) != 0)
      throw SettingsError(ErrnoText("Cannot replace", path_));
  } catch (...) {
    ::unlink(tmp.c_str());
    throw;
  }
}
