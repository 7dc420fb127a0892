#include "PortInventory.h"

#include <dirent.h>
#include <libudev.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "LatencyTimer.h"
#include "NetListener.h"
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

// The first other process with `real` open, when /proc lets us see it.
pid_t ProcessHolding(const std::string& real, std::string& name) {
  const std::string self = std::to_string(getpid());
  for (const std::string& pid : Entries("/proc")) {
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
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

// The process holding an flock on `real`, from /proc/locks (any user's), 0 when none does.
pid_t FlockHolder(const std::string& real) {
  struct stat st {};
  if (stat(real.c_str(), &st) != 0) return 0;
  char key[64];
  std::snprintf(key, sizeof key, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string ordinal, type, mode, access, pid, file;
    // "1: FLOCK  ADVISORY  WRITE 4242 00:1a:3 0 EOF"; "1: -> ..." is a waiter, not a holder.
    if (fields >> ordinal >> type >> mode >> access >> pid >> file && type == "FLOCK" &&
        file == key && pid.find_first_not_of("0123456789") == std::string::npos) {
      return static_cast<pid_t>(std::stol(pid));
    }
  }
  return 0;
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
  if (isVirtual && !inUse) return "virtual";
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
      info.isVirtual = true;
      info.inUse = NullModemCableEnd::EndOpen(target.cableEnd);
      break;
    case PortTarget::Kind::TcpListen:
    case PortTarget::Kind::Rfc2217Listen:
      info.inUse = NetListener::InUse(target.host, target.port);
      break;
    case PortTarget::Kind::Tcp:
    case PortTarget::Kind::Rfc2217:
    case PortTarget::Kind::None:
      break;  // a connecting port is never held: any number of them may reach one server
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
  // Nothing here opens the device: on some adapters an open toggles DTR and RTS. A port of any
  // program of this family holds an flock; another program is seen holding it open when /proc
  // shows its descriptors.
  if (const pid_t holder = FlockHolder(real); holder != 0) {
    info.inUse = true;
    info.user = holder;
    std::ifstream comm("/proc/" + std::to_string(holder) + "/comm");
    std::getline(comm, info.userName);
  } else {
    info.user = ProcessHolding(real, info.userName);
    info.inUse = info.user != 0;
  }
}
