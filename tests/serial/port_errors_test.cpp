// Every refusal of the component: its class, code and message.
#include <sys/file.h>
#include <sys/wait.h>

#include <tuple>

#include "SerialErrors.h"
#include "SerialTestSupport.h"

using namespace serial_test;

namespace {

template <typename Error, typename Call>
void ExpectError(Call call, int code, const std::string& message) {
  try {
    call();
    ADD_FAILURE() << "no error raised; expected " << message;
  } catch (const Error& e) {
    EXPECT_EQ(e.ErrorCode(), code);
    EXPECT_EQ(std::string(e.what()), message);
  }
}

}  // namespace

TEST(PortErrors, MissingDeviceIsBadId) {
  ComOverride map(203, "/dev/selkie-no-such-device");
  OwnedPort owned;
  owned.port.SetComNumber(203);
  ExpectError<EBadId>([&] { owned.port.SetOpen(true); }, -2001,
                      "ie_BadId - Specified comport doesn't exist");
  EXPECT_FALSE(owned.port.Open());
  ExpectError<EBadId>(
      [&] {
        owned.port.SetComNumber(99);
        owned.port.SetOpen(true);
      },
      -2001,
      "ie_BadId - Specified comport doesn't exist");  // maps to nothing
}

// The window keeps the designed texts; the command line, which names the port itself, gets the
// system's reason added and no second copy of the device.
TEST(PortErrors, CommandLineTextsAddTheSystemsReason) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"/dev/selkie-no-such-device", "ie_BadId - Specified comport doesn't exist",
       "ie_BadId - Specified comport doesn't exist (No such file or directory)"},
      {"pty:/selkie-no-such-dir/a", "ie_BadId - Specified comport doesn't exist",
       "ie_BadId - Specified comport doesn't exist (No such file or directory)"},
      {"/dev/null", "/dev/null: Inappropriate ioctl for device", "Inappropriate ioctl for device"},
  };
  for (const auto& [target, window, commandLine] : cases) {
    ComOverride map(205, target);
    OwnedPort owned;
    owned.port.SetComNumber(205);
    try {
      owned.port.SetOpen(true);
      ADD_FAILURE() << target;
    } catch (const ESerialException& e) {
      EXPECT_EQ(std::string(e.what()), window) << target;
      EXPECT_EQ(e.CommandLineText(), commandLine) << target;
    }
  }
}

TEST(PortErrors, DeviceHeldByAnotherProcessIsAlreadyOpen) {
  PtyPair pty;
  ComOverride map(204, pty.Path());
  int ready[2];
  int release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t child = fork();
  if (child == 0) {
    const int fd = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY);
    const char ok = (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) ? 'y' : 'n';
    if (::write(ready[1], &ok, 1) != 1) _exit(2);
    char scrap;
    if (::read(release[0], &scrap, 1) < 0) _exit(3);
    _exit(0);
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 'y');
  OwnedPort owned;
  owned.port.SetComNumber(204);
  ExpectError<EAlreadyOpen>([&] { owned.port.SetOpen(true); }, -2008,
                            "ie_Open - device already open");
  EXPECT_FALSE(owned.port.Open());
  ASSERT_EQ(::write(release[1], "x", 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  owned.port.SetOpen(true);  // free again once the other program let go
  EXPECT_TRUE(owned.port.Open());
}

TEST(PortErrors, SecondPortOnTheSameDeviceIsAlreadyOpen) {
  OwnedPort first, second;
  first.port.SetComNumber(251);
  first.port.SetOpen(true);
  second.port.SetComNumber(251);
  EXPECT_THROW(second.port.SetOpen(true), EAlreadyOpen);
}

TEST(PortErrors, SomethingThatIsNoTtyIsAnInputOutputErrorWithTheSystemText) {
  ComOverride map(205, "/dev/null");
  OwnedPort owned;
  owned.port.SetComNumber(205);
  ExpectError<EInOutError>([&] { owned.port.SetOpen(true); }, -ENOTTY,
                           "/dev/null: Inappropriate ioctl for device");
}

TEST(PortErrors, NoNumberAndNoPromptOrACancelledPrompt) {
  OwnedPort owned;
  const std::string message = "The ComNumber property of the TSerialPort has not been set";
  ExpectError<ENoPortSelected>([&] { owned.port.SetOpen(true); }, -2011, message);
  int asked = 0;
  owned.port.SetPortPrompt([&](const std::vector<SerialSelectEntry>&) {
    ++asked;
    return kPromptCancelled;
  });
  ExpectError<ENoPortSelected>([&] { owned.port.SetOpen(true); }, -2011, message);
  EXPECT_EQ(asked, 1);
  owned.port.SetPromptForPort(false);
  ExpectError<ENoPortSelected>([&] { owned.port.SetOpen(true); }, -2011, message);
  EXPECT_EQ(asked, 1);
  owned.port.SetPromptForPort(true);
  owned.port.SetPortPrompt([](const std::vector<SerialSelectEntry>&) { return kPromptNoEntry; });
  EXPECT_THROW(owned.port.SetOpen(true), ENoPortAvailable);
}

TEST(PortErrors, PromptChoiceBecomesTheComNumber) {
  OwnedPort owned;
  std::vector<std::string> shown;
  owned.port.SetPortPrompt([&](const std::vector<SerialSelectEntry>& entries) {
    for (const auto& e : entries) shown.push_back(e.text);
    return SerialSelect::NumberOf("COM252 (virtual cable B)");
  });
  owned.port.SetOpen(true);
  EXPECT_TRUE(owned.port.Open());
  EXPECT_EQ(owned.port.ComNumber(), 252);
  EXPECT_NE(std::find(shown.begin(), shown.end(), "COM251 (virtual cable A)"), shown.end());
}

TEST(PortErrors, TriggerHandlesAndTypes) {
  OwnedPort owned;
  owned.port.SetComNumber(251);
  owned.port.SetOpen(true);
  ExpectError<EBadArgument>([&] { owned.port.AddModemWatch(6); }, -1002,
                            "Bad argument passed to function");
  EXPECT_THROW(owned.port.AddModemWatch(0), EBadArgument);
  const uint16_t handle = owned.port.AddModemWatch(kModemTriggerType);
  ExpectError<EBadTriggerHandle>([&] { owned.port.ArmModemWatch(handle + 8, 0x10, true); }, -5003,
                                 "Bad trigger handle");
  owned.port.RemoveWatch(handle);
  EXPECT_THROW(owned.port.RemoveWatch(handle), EBadTriggerHandle);
  for (int i = 0; i < 16; ++i) owned.port.AddModemWatch(kModemTriggerType);
  ExpectError<ENoMoreTriggers>([&] { owned.port.AddModemWatch(kModemTriggerType); }, -5001,
                               "No more trigger slots");
}

TEST(PortErrors, ClosedPortRefusesUseAndReadsLinesOff) {
  OwnedPort owned;
  owned.port.SetComNumber(251);
  owned.port.SetAutoOpen(false);
  const std::string message = "ie_NOpen - device not open";
  ExpectError<ECommNotOpen>([&] { owned.port.WriteString(std::string("a")); }, -2007, message);
  EXPECT_THROW(owned.port.ReadByte(), ECommNotOpen);
  EXPECT_THROW(owned.port.DiscardInput(), ECommNotOpen);
  EXPECT_THROW(owned.port.AddModemWatch(1), ECommNotOpen);
  EXPECT_THROW(owned.port.ArmModemWatch(9, 0x10, true), ECommNotOpen);
  EXPECT_NO_THROW(owned.port.RemoveWatch(9));
  EXPECT_FALSE(owned.port.CTS());
  EXPECT_FALSE(owned.port.DSR());
  EXPECT_FALSE(owned.port.DeltaCTS());
  EXPECT_EQ(owned.port.ModemStatus(), 0);
}

TEST(PortErrors, AutoOpenOpensOnFirstUse) {
  OwnedPort owned;
  owned.port.SetComNumber(251);
  owned.port.WriteString(std::string("a"));
  EXPECT_TRUE(owned.port.Open());
}

TEST(PortErrors, DeviceNodeWithoutADeviceBehindItIsBadId) {
  // A serial driver's node with no hardware fails to open with EIO (COM3 on a PC with two UARTs);
  // a locked pseudo-terminal's slave does the same.
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  char name[128];
  ASSERT_EQ(ptsname_r(master, name, sizeof name), 0);
  ComOverride map(214, name);
  OwnedPort owned;
  owned.port.SetComNumber(214);
  ExpectError<EBadId>([&] { owned.port.SetOpen(true); }, -2001,
                      "ie_BadId - Specified comport doesn't exist");
  ::close(master);
}

TEST(PortErrors, EveryMessageOfThePortNamesItOnce) {
  OwnedPort a, b;
  a.port.SetComNumber(251);
  b.port.SetComNumber(252);
  a.port.SetOpen(true);
  b.port.SetOpen(true);
  std::vector<std::string> errors;
  b.port.OnError = [&](TSerialPort&, const std::string& m) { errors.push_back(m); };
  int events = 0;
  b.port.OnTriggerAvail = [&](TSerialPort& port, uint16_t count) {
    for (int i = 0; i < count; ++i) port.ReadByte();
    if (++events == 1) port.WriteString(std::vector<uint8_t>(5000, 0));  // too long for 4096
    if (events == 2) throw std::runtime_error("COM252 (virtual cable B) answered nonsense");
    throw std::runtime_error("COM2521 is not this port");
  };
  for (int i = 0; i < 3; ++i) {
    a.port.WriteString(std::string("x"));
    ASSERT_TRUE(b.PumpUntil([&] { return errors.size() == static_cast<std::size_t>(i + 1); }));
  }
  EXPECT_EQ(errors, (std::vector<std::string>{"COM252: Output buffer too small for block",
                                              "COM252 (virtual cable B) answered nonsense",
                                              "COM252: COM2521 is not this port"}));
}
