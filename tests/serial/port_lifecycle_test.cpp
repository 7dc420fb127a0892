// Closing from inside an event, pty: ports serving one client after another, and a device that
// vanishes while open.
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <csignal>
#include <thread>

#include "PtyDevice.h"
#include "SerialTestSupport.h"

using namespace serial_test;

namespace {

std::string TempLink(const char* name) {
  return "/tmp/selkie-" + std::to_string(getpid()) + "-" + name;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

int OpenClient(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
}

// A port that answers every byte with the byte plus one.
void Echo(TSerialPort& port) {
  port.OnTriggerAvail = [](TSerialPort& p, uint16_t count) {
    std::vector<uint8_t> reply;
    for (int i = 0; i < count; ++i) reply.push_back(static_cast<uint8_t>(p.ReadByte() + 1));
    p.WriteString(reply);
  };
}

}  // namespace

TEST(PortLifecycle, CloseFromInsideTheDataEventCompletesAndReleasesTheDevice) {
  PtyPair pty;
  ComOverride map(206, pty.Path());
  OwnedPort owned;
  owned.port.SetComNumber(206);
  bool closedInside = false;
  TPortState stateInside = psOpen;
  owned.port.OnTriggerAvail = [&](TSerialPort& port, uint16_t) {
    port.ReadByte();
    port.SetOpen(false);
    closedInside = !port.Open();
    stateInside = port.State();
    // Until the event returns the port is shutting down: its operations do nothing (AutoOpen,
    // on by default here, does not reopen it either).
    EXPECT_NO_THROW(port.ReadByte());
    EXPECT_NO_THROW(port.WriteString(std::string("late")));
    EXPECT_NO_THROW(port.ArmModemWatch(9, 0x10, true));
    EXPECT_EQ(port.State(), psShuttingDown);
  };
  owned.port.SetOpen(true);
  WriteAll(pty.Master(), {1, 2});
  ASSERT_TRUE(owned.PumpUntil([&] { return closedInside; }));
  EXPECT_EQ(stateInside, psShuttingDown);
  EXPECT_EQ(owned.port.State(), psClosed);
  EXPECT_TRUE(Silent(pty.Master(), 20ms));  // "late" was not written
  // The device is free again: a second port takes it at once and is served.
  OwnedPort second;
  second.port.SetComNumber(206);
  Echo(second.port);
  second.port.SetOpen(true);
  WriteAll(pty.Master(), {7});
  std::vector<uint8_t> reply;
  ASSERT_TRUE(second.PumpUntil([&] {
    auto more = ReadBytes(pty.Master(), 1, 1ms);
    reply.insert(reply.end(), more.begin(), more.end());
    return !reply.empty();
  }));
  EXPECT_EQ(reply, std::vector<uint8_t>{8});
}

TEST(PortLifecycle, CloseFromInsideTheModemEvent) {
  OwnedPort a, b;
  a.port.SetComNumber(251);
  b.port.SetComNumber(252);
  a.port.SetOpen(true);
  b.port.SetOpen(true);
  int events = 0;
  b.port.OnTriggerModemStatus = [&](TSerialPort& port, uint16_t) {
    ++events;
    port.SetOpen(false);
    EXPECT_EQ(port.State(), psShuttingDown);
  };
  const uint16_t handle = b.port.AddModemWatch(kModemTriggerType);
  b.port.ArmModemWatch(handle, 0x10, true);
  a.port.SetRTS(false);
  ASSERT_TRUE(b.PumpUntil([&] { return events == 1; }));
  EXPECT_EQ(b.port.State(), psClosed);
  b.port.SetOpen(true);  // reopens cleanly
  EXPECT_TRUE(b.port.Open());
}

TEST(PortLifecycle, ComNumberChangeInsideAnEventReopensOnTheNewNumber) {
  OwnedPort a, b, c;
  a.port.SetComNumber(251);
  b.port.SetComNumber(252);
  a.port.SetOpen(true);
  b.port.SetOpen(true);
  c.port.SetComNumber(252);
  b.port.OnTriggerAvail = [&](TSerialPort& port, uint16_t) { port.SetComNumber(251); };
  a.port.WriteString(std::string("x"));
  a.port.SetOpen(false);  // frees end A for b's switch
  ASSERT_TRUE(b.PumpUntil([&] { return b.port.ComNumber() == 251; }));
  EXPECT_EQ(b.port.State(), psOpen);
  c.port.SetOpen(true);  // end B was released
  std::vector<uint8_t> atB;
  b.port.OnTriggerAvail = [&](TSerialPort& p, uint16_t n) {
    while (n--) atB.push_back(p.ReadByte());
  };
  c.port.WriteString(std::string("y"));
  ASSERT_TRUE(b.PumpUntil([&] { return atB.size() == 1; }));
  EXPECT_EQ(atB[0], 'y');
}

TEST(PortLifecycle, PtyPortServesOneClientAfterAnotherAndRemovesItsLink) {
  const std::string link = TempLink("pty");
  ComOverride map(207, "pty:" + link);
  OwnedPort owned;
  owned.port.SetComNumber(207);
  owned.port.SetParity(pOdd);
  Echo(owned.port);
  std::vector<std::string> errors;
  owned.port.OnError = [&](TSerialPort&, const std::string& m) { errors.push_back(m); };
  owned.port.SetOpen(true);
  ASSERT_TRUE(Exists(link));

  for (uint8_t round = 1; round <= 2; ++round) {
    const int client = OpenClient(link);
    ASSERT_GE(client, 0);
    WriteAll(client, {round, 0x40});
    std::vector<uint8_t> reply;
    ASSERT_TRUE(owned.PumpUntil([&] {
      auto more = ReadBytes(client, 2 - reply.size(), 1ms);
      reply.insert(reply.end(), more.begin(), more.end());
      return reply.size() == 2;
    }));
    EXPECT_EQ(reply, (std::vector<uint8_t>{static_cast<uint8_t>(round + 1), 0x41}));
    // Raw far side: the port's own reply is not echoed back to it.
    EXPECT_FALSE(owned.PumpUntil([&] { return !Silent(client, 1ms); }, 50ms));
    ::close(client);
    EXPECT_FALSE(owned.PumpUntil([&] { return !errors.empty(); }, 100ms));
    EXPECT_TRUE(owned.port.Open());
  }
  owned.port.SetOpen(false);
  EXPECT_FALSE(Exists(link));
}

TEST(PortLifecycle, PtyLinkHeldByALivePortIsInUseAndAStaleOneIsReplaced) {
  const std::string link = TempLink("busy");
  ComOverride map(208, "pty:" + link);
  OwnedPort first, second;
  first.port.SetComNumber(208);
  second.port.SetComNumber(208);
  first.port.SetOpen(true);
  EXPECT_THROW(second.port.SetOpen(true), EAlreadyOpen);
  first.port.SetOpen(false);
  ASSERT_EQ(symlink("/dev/pts/selkie-gone", link.c_str()), 0);  // left by a crashed program
  second.port.SetOpen(true);
  EXPECT_TRUE(second.port.Open());
  second.port.SetOpen(false);
  EXPECT_FALSE(Exists(link));
}

TEST(PortLifecycle, PtyPortInAMissingFolderIsBadId) {
  ComOverride map(209, "pty:/nonexistent-selkie-dir/port");
  OwnedPort owned;
  owned.port.SetComNumber(209);
  EXPECT_THROW(owned.port.SetOpen(true), EBadId);
}

TEST(PortLifecycle, VanishingDeviceIsReportedOnceAndLeavesThePortClosed) {
  PtyPair pty;
  ComOverride map(210, pty.Path());
  OwnedPort owned;
  owned.port.SetComNumber(210);
  std::vector<std::string> errors;
  bool openDuringReport = true;
  owned.port.OnError = [&](TSerialPort& port, const std::string& message) {
    errors.push_back(message);
    openDuringReport = port.Open();
  };
  owned.port.SetOpen(true);
  owned.port.WriteString(std::string("abc"));
  ASSERT_EQ(ReadBytes(pty.Master(), 3).size(), 3u);
  pty.CloseMaster();  // the USB interface is pulled
  ASSERT_TRUE(owned.PumpUntil([&] { return !errors.empty(); }));
  EXPECT_FALSE(owned.PumpUntil([&] { return errors.size() > 1; }, 200ms));
  EXPECT_FALSE(openDuringReport);
  EXPECT_FALSE(owned.port.Open());
  EXPECT_EQ(errors[0].rfind("COM210 (" + pty.Path() + ") was disconnected", 0), 0u) << errors[0];
  EXPECT_THROW(owned.port.WriteString(std::string("x")), EBadId);  // AutoOpen finds it gone
}

TEST(PortLifecycle, ClosingNeverWaitsForABusyOwner) {
  // Nobody pumps the owner loop: events stay queued, and closing must not wait for them.
  OwnedPort a, b;
  a.port.SetComNumber(251);
  b.port.SetComNumber(252);
  a.port.SetOpen(true);
  b.port.SetOpen(true);
  b.port.OnTriggerAvail = [](TSerialPort&, uint16_t) { ADD_FAILURE() << "ran after close"; };
  a.port.WriteString(std::string("zz"));
  // Wait (without running anything) until b's device holds the bytes for the loop.
  const auto queued = std::chrono::steady_clock::now() + kWait;
  while (b.loop->Pending() == 0 && std::chrono::steady_clock::now() < queued) {
    std::this_thread::yield();
  }
  ASSERT_EQ(b.loop->Pending(), 1u);
  const auto start = std::chrono::steady_clock::now();
  b.port.SetOpen(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
  b.loop->Pump(0ms);  // the closed port's descriptor is no longer watched: nothing runs
}

TEST(PortLifecycle, PtyPortServesAPortOfThisFamilyOnItsLink) {
  // One instance runs the virtual machine on pty:<link>, another opens <link> as its device.
  const std::string link = TempLink("family");
  ComOverride machineMap(211, "pty:" + link);
  ComOverride clientMap(212, link);
  auto loop = std::make_shared<OwnerLoop>();
  TSerialPort machine(loop), client(loop);
  machine.SetComNumber(211);
  client.SetComNumber(212);
  // The program's line settings: a pty drops the parity, which must not refuse the open.
  std::vector<std::string> notes;
  for (TSerialPort* p : {&machine, &client}) {
    p->SetBaud(38400);
    p->SetParity(pOdd);
    p->OnDiagnostic = [&](TSerialPort&, const std::string& note) { notes.push_back(note); };
  }
  Echo(machine);
  std::vector<uint8_t> answer;
  client.OnTriggerAvail = [&](TSerialPort& p, uint16_t n) {
    while (n--) answer.push_back(p.ReadByte());
  };
  machine.SetOpen(true);
  client.SetOpen(true);
  client.WriteString(std::vector<uint8_t>{0x10, 0x20});
  ASSERT_TRUE(loop->PumpUntil([&] { return answer.size() == 2; }, kWait));
  EXPECT_EQ(answer, (std::vector<uint8_t>{0x11, 0x21}));
  EXPECT_EQ(std::count(notes.begin(), notes.end(), "COM212: parity odd was not applied"), 1);
  // The pty: port itself has no line: nothing to say about parity.
  EXPECT_EQ(std::count_if(notes.begin(), notes.end(),
                          [](const std::string& n) { return n.rfind("COM211", 0) == 0; }),
            0);
  // While the client holds it, the link is in use for everybody else.
  TSerialPort third(loop);
  third.SetComNumber(212);
  EXPECT_THROW(third.SetOpen(true), EAlreadyOpen);
  client.SetOpen(false);
  third.SetOpen(true);
  EXPECT_TRUE(third.Open());
}

TEST(PortLifecycle, DeviceVanishingWhileTheLoopWaitsIsReportedOnceAndNothingSpins) {
  // The loop sleeps in its wait, with output queued, when the device goes: the loop wakes, the
  // report comes once, and the dead descriptor does not keep waking it.
  PtyPair pty;
  ComOverride map(213, pty.Path());
  OwnedPort owned;
  owned.port.SetComNumber(213);
  owned.port.SetOutSize(65535);
  int reports = 0;
  owned.port.OnError = [&](TSerialPort&, const std::string&) { ++reports; };
  owned.port.SetOpen(true);
  // More than the pseudo-terminal holds, so part waits for room that never comes.
  owned.port.WriteString(std::vector<uint8_t>(60000, 0x55));
  owned.loop->Pump(0ms);  // what the opening left to do
  const auto waitFrom = std::chrono::steady_clock::now();
  std::thread unplug([&] {
    std::this_thread::sleep_for(50ms);
    pty.CloseMaster();
  });
  EXPECT_GE(owned.loop->Pump(kWait), 1);  // woken by the vanishing device itself
  EXPECT_GE(std::chrono::steady_clock::now() - waitFrom, 40ms);
  unplug.join();
  ASSERT_TRUE(owned.PumpUntil([&] { return reports > 0; }));
  EXPECT_FALSE(owned.port.Open());
  const double cpuBefore = ProcessCpuMs();
  int ran = 0;
  const auto until = std::chrono::steady_clock::now() + 300ms;
  while (std::chrono::steady_clock::now() < until) ran += owned.loop->Pump(20ms);
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(ran, 0);
  EXPECT_LT(ProcessCpuMs() - cpuBefore, 50.0);
  const auto start = std::chrono::steady_clock::now();
  owned.port.SetOpen(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
}

TEST(PortLifecycle, PtyPortOpensAgainAtOnceAfterItsProgramWasKilled) {
  const std::string link = TempLink("killed");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    PtyDevice device(link);
    if (::write(ready[1], "y", 1) != 1) _exit(2);
    pause();
    _exit(0);
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(Exists(link));  // left behind, pointing at a pts number that is free again

  ComOverride map(216, "pty:" + link);
  OwnedPort owned;
  owned.port.SetComNumber(216);
  ASSERT_NO_THROW(owned.port.SetOpen(true));
  Echo(owned.port);
  const int client = OpenClient(link);
  ASSERT_GE(client, 0);
  WriteAll(client, {0x30});
  std::vector<uint8_t> reply;
  ASSERT_TRUE(owned.PumpUntil([&] {
    auto more = ReadBytes(client, 1, 1ms);
    reply.insert(reply.end(), more.begin(), more.end());
    return !reply.empty();
  }));
  EXPECT_EQ(reply, std::vector<uint8_t>{0x31});
  ::close(client);
}
