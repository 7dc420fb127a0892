// A tty is left as it was found, and a driver that refuses a call is reported once.
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <thread>

#include "SerialTestSupport.h"
#include "TtyDevice.h"

using namespace serial_test;

TEST(LineRestore, TermiosOfTheTtyIsPutBackOnClose) {
  PtyPair pty;
  termios before{};
  ASSERT_EQ(tcgetattr(pty.Master(), &before), 0);
  cfsetospeed(&before, B4800);
  cfsetispeed(&before, B4800);
  before.c_lflag |= ICANON | ECHO;
  ASSERT_EQ(tcsetattr(pty.Master(), TCSANOW, &before), 0);
  ComOverride map(217, pty.Path());
  OwnedPort owned;
  owned.port.SetComNumber(217);
  owned.port.SetBaud(38400);
  owned.port.SetOpen(true);
  termios during{};
  ASSERT_EQ(tcgetattr(pty.Master(), &during), 0);
  EXPECT_EQ(cfgetospeed(&during), B38400);
  EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
  owned.port.SetOpen(false);
  termios after{};
  ASSERT_EQ(tcgetattr(pty.Master(), &after), 0);
  EXPECT_EQ(cfgetospeed(&after), B4800);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
}

namespace {

// A driver that refuses to switch the outputs.
class RefusingTty : public TtyDevice {
 public:
  using TtyDevice::TtyDevice;
  int refusals = 0;

 protected:
  int Control(unsigned long request, void* argument) override {
    if (request == TIOCMBIS || request == TIOCMBIC) {
      ++refusals;
      errno = EPERM;
      return -1;
    }
    return TtyDevice::Control(request, argument);
  }
};

}  // namespace

TEST(LineRestore, ARefusedCallIsReportedOnceAndTheSwitchSaysSo) {
  PtyPair pty;
  RefusingTty tty(pty.Path());
  EXPECT_FALSE(tty.SetDTR(false));
  EXPECT_FALSE(tty.SetDTR(true));
  EXPECT_FALSE(tty.SetRTS(false));
  tty.Restore();
  EXPECT_EQ(tty.refusals, 5);
  const std::vector<std::string> notes = tty.TakeNotes();
  EXPECT_EQ(
      notes,
      (std::vector<std::string>{
          "the driver of " + pty.Path() + " refused switching DTR: Operation not permitted",
          "the driver of " + pty.Path() + " refused switching RTS: Operation not permitted"}));
  EXPECT_TRUE(tty.TakeNotes().empty());
}

TEST(LineWatch, APseudoTerminalCannotWaitForLineChangesAndIsPolled) {
  PtyPair pty;
  TtyDevice tty(pty.Path());
  tty.WatchLines();
  const auto deadline = std::chrono::steady_clock::now() + kWait;
  while (tty.WaitsForLineChanges() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_FALSE(tty.WaitsForLineChanges());
  EXPECT_TRUE(tty.TakeNotes().empty());  // not a refusal: the device has no lines to wait on
}

namespace {

// A driver whose TIOCMIWAIT reports one change and then waits until a signal interrupts it.
class WaitingTty : public TtyDevice {
 public:
  using TtyDevice::TtyDevice;
  std::atomic<int> waits{0};

 protected:
  int Control(unsigned long request, void* argument) override {
    if (request != TIOCMIWAIT) return TtyDevice::Control(request, argument);
    if (++waits == 1) return 0;
    return poll(nullptr, 0, -1);  // only a signal ends it, with EINTR
  }
};

}  // namespace

TEST(LineWatch, AChangeWakesTheLoopAndAWaitingThreadDoesNotHoldUpClose) {
  PtyPair pty;
  auto tty = std::make_unique<WaitingTty>(pty.Path());
  tty->WatchLines();
  pollfd event{tty->ModemEventFd(), POLLIN, 0};
  ASSERT_EQ(poll(&event, 1, 3000), 1);
  tty->AckModemEvent();
  while (tty->waits < 2) std::this_thread::sleep_for(1ms);
  const auto start = std::chrono::steady_clock::now();
  tty->Restore();
  tty.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  // The device is free again at once.
  TtyDevice again(pty.Path());
  EXPECT_GE(again.Fd(), 0);
}
