#include "LatencyTimer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

namespace {

std::string& TestRoot() {
  static std::string root;
  return root;
}

// A latency timer in ms: digits only, at most 255 (the adapters' own limit).
std::optional<int> ParseMs(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == ' ')) --end;
  if (end == 0 || end > 3) return std::nullopt;
  int ms = 0;
  for (std::size_t i = 0; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    ms = ms * 10 + (text[i] - '0');
  }
  return ms <= 255 ? std::optional<int>(ms) : std::nullopt;
}

// Writes "1" to the attribute itself: a link planted in its place is not followed.
void WriteOne(const std::string& file) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) (void)!::write(fd, "1\n", 2);
  ::close(fd);
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

LatencyTimer::LatencyTimer(std::string sysfsRoot) : root_(std::move(sysfsRoot)) {
  if (root_.empty()) root_ = TestRoot().empty() ? "/sys" : TestRoot();
}

void LatencyTimer::UseSysfsRootForTests(std::string sysfsRoot) {
  TestRoot() = std::move(sysfsRoot);
}

std::string LatencyTimer::FileOf(const std::string& name) const {
  if (name.empty() || name.find('/') != std::string::npos) return {};
  for (const std::string& candidate :
       {root_ + "/class/tty/" + name + "/device/latency_timer",
        root_ + "/bus/usb-serial/devices/" + name + "/latency_timer"}) {
    if (IsFile(candidate)) return candidate;
  }
  return {};
}

std::optional<int> LatencyTimer::Read(const std::string& name) const {
  const std::string file = FileOf(name);
  if (file.empty()) return std::nullopt;
  std::ifstream in(file);
  char text[16] = {};
  in.read(text, sizeof text - 1);
  return ParseMs(std::string(text, static_cast<std::size_t>(in.gcount())));
}

std::optional<std::string> LatencyTimer::Lower(const std::string& name,
                                               const std::string& device) const {
  const std::optional<int> ms = Read(name);
  if (!ms || *ms <= 1) return std::nullopt;
  const std::string file = FileOf(name);
  WriteOne(file);
  if (Read(name) == 1) return std::nullopt;
  return "the USB latency timer of " + device + " is " + std::to_string(*ms) +
         " ms and could not be set to 1 ms (replies wait that long); as root: echo 1 > " + file +
         ", or for good a udev rule: ACTION==\"add\", SUBSYSTEM==\"usb-serial\", "
         "ATTR{latency_timer}=\"1\"";
}
