// The lines of --list-ports: the virtual cable, a pty: port and a device with a by-id name.
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/wait.h>

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
  // Another program's cable ends cannot be seen from here: "virtual", never "free".
  EXPECT_EQ(LineOf(inventory, 251), "COM251 virtual cable A virtual");
  EXPECT_EQ(LineOf(inventory, 220), "COM220 pty:" + link + " free");
  OwnedPort cable, pty;
  cable.port.SetComNumber(251);
  cable.port.SetOpen(true);
  pty.port.SetComNumber(220);
  pty.port.SetOpen(true);
  EXPECT_EQ(LineOf(inventory, 251), "COM251 virtual cable A in use");
  EXPECT_EQ(LineOf(inventory, 220), "COM220 pty:" + link + " in use");
  EXPECT_EQ(LineOf(inventory, 252), "COM252 virtual cable B virtual");
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

// Opening a tty can toggle DTR and RTS: describing a device never opens it, and a holder in
// another process is still seen, by its lock.
TEST(PortInventory, DescribingADeviceNeverOpensIt) {
  PtyPair device;
  ComOverride map(222, device.Path());
  const int opens = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(inotify_add_watch(opens, device.Path().c_str(), IN_OPEN), 0);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    const int fd = ::open(device.Path().c_str(), O_RDWR | O_NOCTTY);
    (void)!write(ready[1], fd >= 0 && flock(fd, LOCK_EX) == 0 ? "y" : "n", 1);
    pause();
    _exit(0);
  }
  char locked = 0;
  ASSERT_EQ(read(ready[0], &locked, 1), 1);
  ASSERT_EQ(locked, 'y');
  char drain[4096];
  while (read(opens, drain, sizeof drain) > 0) {
  }
  const PortInventory inventory;
  EXPECT_EQ(LineOf(inventory, 222), "COM222 " + device.Path() + " in use by pid " +
                                        std::to_string(holder) + " (serial_tests)");
  EXPECT_LT(read(opens, drain, sizeof drain), 0) << "the device was opened to describe it";
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  EXPECT_EQ(LineOf(inventory, 222), "COM222 " + device.Path() + " free");
  EXPECT_LT(read(opens, drain, sizeof drain), 0);
  ::close(opens);
  ::close(ready[0]);
  ::close(ready[1]);
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
