#include "LatencyTimer.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

namespace {

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

LatencyTimer::LatencyTimer(std::string sysfsRoot) : root_(std::move(sysfsRoot)) {
  if (!root_.empty()) return;
  const char* fromEnvironment = std::getenv("SELKIE_SYSFS_ROOT");
  root_ = fromEnvironment && *fromEnvironment ? fromEnvironment : "/sys";
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
  int ms = 0;
  if (!(in >> ms)) return std::nullopt;
  return ms;
}

std::optional<std::string> LatencyTimer::Lower(const std::string& name,
                                               const std::string& device) const {
  const std::optional<int> ms = Read(name);
  if (!ms || *ms <= 1) return std::nullopt;
  const std::string file = FileOf(name);
  {
    std::ofstream out(file);
    out << "1\n";
  }
  if (Read(name) == 1) return std::nullopt;
  return "the USB latency timer of " + device + " is " + std::to_string(*ms) +
         " ms and could not be set to 1 ms (replies wait that long); as root: echo 1 > " + file +
         ", or for good a udev rule: ACTION==\"add\", SUBSYSTEM==\"usb-serial\", "
         "ATTR{latency_timer}=\"1\"";
}
