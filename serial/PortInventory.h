// What is behind each COM number in use: the device, its /dev/serial/by-id name, driver, USB
// vendor:product and serial number, latency timer, and whether it is free or in use (and by
// which process, when that can be found). `selkietest --list-ports` prints one line per port;
// the port prompt shows the same description beside each entry. Describing never opens a device.
//
// Hardware details come from udev (a system without a udev database still gives what sysfs
// holds). The by-id folder is replaceable (argument, or $SELKIE_SERIAL_BY_ID) for tests.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "PortMap.h"

struct PortInfo {
  int number = 0;
  std::string device;  // PortTarget::Describe()
  std::string byId;    // the name in the by-id folder, empty when there is none
  std::string driver;
  std::string usbId;  // "vvvv:pppp"
  std::string serial;
  std::optional<int> latencyMs;
  bool latencyUnreadable = false;  // the device has a timer whose value is no number of ms
  bool inUse = false;
  // A virtual cable end: each program has a cable of its own, so no other program's use shows.
  bool isVirtual = false;
  pid_t user = 0;  // the process that holds it, 0 when unknown
  std::string userName;

  // The details after the device: "by-id=... driver=... usb=... serial=... latency=1ms";
  // fields that are not known are left out; a timer with an odd value is "latency=unreadable".
  std::string Details() const;
  // "free", "in use", "in use by pid <n> (<name>)", or "virtual" for a cable end not in use here.
  std::string State() const;
  // "COM<n> <device> <details> <state>", the line --list-ports prints.
  std::string Line() const;
};

class PortInventory {
 public:
  explicit PortInventory(std::string byIdFolder = {});

  // The mapped numbers whose device is present now, ascending.
  std::vector<PortInfo> List() const;
  PortInfo Describe(int number, const PortTarget& target) const;

 private:
  void DescribeDevice(const std::string& path, PortInfo& info) const;
  std::string byIdFolder_;
};
