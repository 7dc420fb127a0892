// The lines of --list-ports: the virtual cable, a pty: port and a device with a by-id name.
#include <filesystem>

#include "PortInventory.h"
#include "PortWatch.h"
#include "SerialTestSupport.h"

using namespace serial_test;
namespace fs = std::filesystem;

namespace {

const PortInfo* Find(const std::vector<PortInfo>& ports, int number) {
  for (const PortInfo& port : ports) {
    if (port.number == number) return &port;
  }
  return nullptr;
}

std::string LineOf(const PortInventory& inventory, int number) {
  const std::vector<PortInfo> ports = inventory.List();
  const PortInfo* port = Find(ports, number);
  return port ? port->Line() : "(not listed)";
}

}  // namespace

TEST(PortInventory, CableEndsAndPtyPortsAreListedFreeOrInUse) {
  const std::string link = "/tmp/selkie-" + std::to_string(getpid()) + "-listed";
  ComOverride map(220, "pty:" + link);
  const PortInventory inventory;
  EXPECT_EQ(LineOf(inventory, 251), "COM251 virtual cable A free");
  EXPECT_EQ(LineOf(inventory, 220), "COM220 pty:" + link + " free");
  OwnedPort cable, pty;
  cable.port.SetComNumber(251);
  cable.port.SetOpen(true);
  pty.port.SetComNumber(220);
  pty.port.SetOpen(true);
  EXPECT_EQ(LineOf(inventory, 251), "COM251 virtual cable A in use");
  EXPECT_EQ(LineOf(inventory, 220), "COM220 pty:" + link + " in use");
  EXPECT_EQ(LineOf(inventory, 252), "COM252 virtual cable B free");
}

TEST(PortInventory, ADeviceShowsItsByIdNameAndWhoHoldsIt) {
  const fs::path byId = fs::temp_directory_path() / ("selkie-by-id-" + std::to_string(getpid()));
  fs::create_directories(byId);
  PtyPair device;
  fs::create_symlink(device.Path(), byId / "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
  ComOverride map(221, device.Path());
  const PortInventory inventory(byId.string());
  EXPECT_EQ(LineOf(inventory, 221),
            "COM221 " + device.Path() + " by-id=usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0 free");
  OwnedPort owned;
  owned.port.SetComNumber(221);
  owned.port.SetOpen(true);
  EXPECT_EQ(LineOf(inventory, 221),
            "COM221 " + device.Path() +
                " by-id=usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0 in use by pid " +
                std::to_string(getpid()) + " (serial_tests)");
  fs::remove_all(byId);
}

TEST(PortInventory, TheWatchSeesAPtyLinkAppear) {
  const std::string link = "/tmp/selkie-" + std::to_string(getpid()) + "-appearing";
  ComOverride asDevice(222, link);
  ComOverride asPort(223, "pty:" + link);
  PortWatch watch;
  ASSERT_GE(watch.Fd(), 0);
  watch.TakeChanges();
  EXPECT_EQ(LineOf(PortInventory(), 222), "(not listed)");
  OwnedPort owned;
  owned.port.SetComNumber(223);
  owned.port.SetOpen(true);
  pollfd changed{watch.Fd(), POLLIN, 0};
  ASSERT_EQ(poll(&changed, 1, 3000), 1);
  EXPECT_TRUE(watch.TakeChanges());
  EXPECT_NE(LineOf(PortInventory(), 222), "(not listed)");
}
