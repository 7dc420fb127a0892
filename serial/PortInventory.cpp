#include "PortInventory.h"

#include <dirent.h>
#include <fcntl.h>
#include <libudev.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "LatencyTimer.h"
#include "NullModemCable.h"
#include "PtyDevice.h"
#include "SerialDevice.h"

namespace {

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// Entries of `folder` (no "." or ".."); empty when it cannot be read.
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return names;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  return names;
}

// The first process with `real` open, when /proc lets us see it.
pid_t ProcessHolding(const std::string& real, std::string& name) {
  for (const std::string& pid : Entries("/proc")) {
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string fds = "/proc/" + pid + "/fd";
    for (const std::string& fd : Entries(fds)) {
      char target[PATH_MAX];
      const ssize_t n = readlink((fds + "/" + fd).c_str(), target, sizeof target - 1);
      if (n <= 0 || std::string(target, static_cast<std::size_t>(n)) != real) continue;
      std::ifstream comm("/proc/" + pid + "/comm");
      std::getline(comm, name);
      return static_cast<pid_t>(std::stol(pid));
    }
  }
  return 0;
}

// Held by someone: refused to a new opener (TIOCEXCL) or its flock is taken.
bool DeviceInUse(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == EBUSY;
  const bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);  // releases the lock if we got it
  return locked;
}

std::string Attribute(udev_device* device, const char* name) {
  const char* value = device ? udev_device_get_sysattr_value(device, name) : nullptr;
  return value ? value : "";
}

}  // namespace

std::string PortInfo::Details() const {
  std::string text;
  const auto add = [&](const char* label, const std::string& value) {
    if (value.empty()) return;
    if (!text.empty()) text += ' ';
    text += std::string(label) + "=" + value;
  };
  add("by-id", byId);
  add("driver", driver);
  add("usb", usbId);
  add("serial", serial);
  if (latencyMs) add("latency", std::to_string(*latencyMs) + "ms");
  if (latencyUnreadable) add("latency", "unreadable");
  return text;
}

std::string PortInfo::State() const {
  if (!inUse) return "free";
  if (user == 0) return "in use";
  return "in use by pid " + std::to_string(user) + (userName.empty() ? "" : " (" + userName + ")");
}

std::string PortInfo::Line() const {
  const std::string details = Details();
  return "COM" + std::to_string(number) + " " + device + (details.empty() ? "" : " " + details) +
         " " + State();
}

PortInventory::PortInventory(std::string byIdFolder) : byIdFolder_(std::move(byIdFolder)) {
  if (!byIdFolder_.empty()) return;
  const char* fromEnvironment = std::getenv("SELKIE_SERIAL_BY_ID");
  byIdFolder_ = fromEnvironment && *fromEnvironment ? fromEnvironment : "/dev/serial/by-id";
}

std::vector<PortInfo> PortInventory::List() const {
  std::vector<PortInfo> ports;
  for (int number : PortMap::MappedNumbers()) {
    const PortTarget target = PortMap::Resolve(number);
    if (SerialDeviceSelectable(target)) ports.push_back(Describe(number, target));
  }
  return ports;
}

PortInfo PortInventory::Describe(int number, const PortTarget& target) const {
  PortInfo info;
  info.number = number;
  info.device = target.Describe();
  switch (target.kind) {
    case PortTarget::Kind::Device:
      DescribeDevice(target.path, info);
      break;
    case PortTarget::Kind::Pty:
      info.inUse = PtyDevice::LinkInUse(target.path);
      break;
    case PortTarget::Kind::Cable:
      info.inUse = NullModemCableEnd::EndOpen(target.cableEnd);
      break;
    case PortTarget::Kind::None:
      break;
  }
  return info;
}

void PortInventory::DescribeDevice(const std::string& path, PortInfo& info) const {
  const std::string real = RealPath(path);
  if (real.empty()) return;
  for (const std::string& name : Entries(byIdFolder_)) {
    if (RealPath(byIdFolder_ + "/" + name) == real) info.byId = name;
  }
  const std::string kernelName = real.substr(real.rfind('/') + 1);
  const LatencyTimer timer;
  info.latencyMs = timer.Read(kernelName);
  info.latencyUnreadable = !info.latencyMs && timer.Present(kernelName);
  std::unique_ptr<udev, udev* (*)(udev*)> context(udev_new(), udev_unref);
  if (context) {
    std::unique_ptr<udev_device, udev_device* (*)(udev_device*)> tty(
        udev_device_new_from_subsystem_sysname(context.get(), "tty", kernelName.c_str()),
        udev_device_unref);
    // The driver of the port device (ftdi_sio, cp210x, cdc_acm, serial8250...).
    for (udev_device* d = tty ? udev_device_get_parent(tty.get()) : nullptr;
         d && info.driver.empty(); d = udev_device_get_parent(d)) {
      if (const char* driver = udev_device_get_driver(d)) info.driver = driver;
    }
    udev_device* usb =
        tty ? udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_device")
            : nullptr;
    const std::string vendor = Attribute(usb, "idVendor");
    const std::string product = Attribute(usb, "idProduct");
    if (!vendor.empty()) info.usbId = vendor + ":" + product;
    info.serial = Attribute(usb, "serial");
  }
  info.inUse = DeviceInUse(path);
  if (info.inUse) info.user = ProcessHolding(real, info.userName);
}
