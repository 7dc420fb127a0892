// The latency timer of a USB serial adapter: how long the adapter holds a few received bytes
// before it sends them to the host (16 ms by default on common chips, 1 ms is best for replies).
// It is a sysfs attribute of the tty's device; where it is above 1 ms, opening a port tries to
// lower it, and where that is not allowed, says once what the user can do about it.
#pragma once

#include <optional>
#include <string>

class LatencyTimer {
 public:
  // `sysfsRoot` stands for /sys (tests give a fake tree); empty: the root tests chose with
  // UseSysfsRootForTests, else /sys. Nothing in the environment changes it.
  explicit LatencyTimer(std::string sysfsRoot = {});
  // For tests of the code that opens ports: where LatencyTimer() looks from now on.
  static void UseSysfsRootForTests(std::string sysfsRoot);

  // The attribute's file for tty `name` (e.g. "ttyUSB0"), empty when the device has none.
  std::string FileOf(const std::string& name) const;
  // The timer in ms, when the device has one that reads as a whole number 0..255.
  std::optional<int> Read(const std::string& name) const;
  // Whether the device has the attribute, readable or not.
  bool Present(const std::string& name) const { return !FileOf(name).empty(); }
  // Lowers a timer above 1 ms to 1 ms. Returns a note for the user when it stays above 1 ms.
  // The attribute is written only as a regular file, never through a link.
  std::optional<std::string> Lower(const std::string& name, const std::string& device) const;

 private:
  std::string root_;
};
