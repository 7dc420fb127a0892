// Ports on the owner's loop: replies that the device takes in pieces, events in order, no
// threads and no descriptors left behind.
#include <dirent.h>

#include <string>
#include <thread>

#include "PortReactor.h"
#include "SerialTestSupport.h"
#include "SerialTriggers.h"

using namespace serial_test;

namespace {

std::size_t Entries(const char* folder) {
  DIR* dir = opendir(folder);
  if (!dir) return 0;
  std::size_t count = 0;
  while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
  closedir(dir);
  return count;
}

std::size_t OpenDescriptors() { return Entries("/proc/self/fd"); }
std::size_t Threads() { return Entries("/proc/self/task"); }

std::string TempLink(const char* name) {
  return "/tmp/selkie-" + std::to_string(getpid()) + "-loop-" + name;
}

int OpenClient(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

uint8_t Pattern(std::size_t i) { return static_cast<uint8_t>(i * 7 + i / 251); }

// Reads whatever `fd` holds now, without waiting.
std::vector<uint8_t> ReadNow(int fd) {
  std::vector<uint8_t> got;
  uint8_t chunk[4096];
  for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;)
    got.insert(got.end(), chunk, chunk + n);
  return got;
}

}  // namespace

TEST(PortLoop, ReplyTheClientDoesNotReadGoesOutInPiecesInOrderWhenItReads) {
  const std::string link = TempLink("pieces");
  ComOverride map(231, "pty:" + link);
  OwnedPort owned;
  owned.port.SetComNumber(231);
  owned.port.SetOutSize(65535);
  constexpr std::size_t kBlock = 15000;
  constexpr int kBlocks = 4;  // more than the pseudo-terminal holds: the rest waits in the ring
  std::vector<uint8_t> expected;
  for (std::size_t i = 0; i < kBlock * kBlocks; ++i) expected.push_back(Pattern(i));
  int requests = 0;
  owned.port.OnTriggerAvail = [&](TSerialPort& port, uint16_t count) {
    for (int i = 0; i < count; ++i) {
      if (port.ReadByte() == 'A') {
        for (int b = 0; b < kBlocks; ++b) {
          port.WriteString(std::vector<uint8_t>(expected.begin() + b * kBlock,
                                                expected.begin() + (b + 1) * kBlock));
        }
      } else {
        port.WriteString(std::string("tail"));  // queued behind the big reply
      }
      ++requests;
    }
  };
  owned.port.SetOpen(true);
  const int client = OpenClient(link);
  ASSERT_GE(client, 0);
  WriteAll(client, {'A'});
  ASSERT_TRUE(owned.PumpUntil([&] { return requests == 1; }));
  WriteAll(client, {'B'});
  ASSERT_TRUE(owned.PumpUntil([&] { return requests == 2; }));
  owned.loop->Pump(50ms);  // the loop keeps serving while the reply is stuck
  std::vector<uint8_t> got = ReadNow(client);
  // Without the loop running, the device could not have taken it all.
  ASSERT_LT(got.size(), expected.size());
  for (const char c : std::string("tail")) expected.push_back(static_cast<uint8_t>(c));
  ASSERT_TRUE(owned.PumpUntil([&] {
    const auto more = ReadNow(client);
    got.insert(got.end(), more.begin(), more.end());
    return got.size() >= expected.size();
  }));
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected) << "bytes lost or out of order";
  ::close(client);
}

TEST(PortLoop, DataThatCameBeforeALineChangeIsDeliveredBeforeItsTrigger) {
  // The line timer is due before the loop looks at the device: the trigger must still wait for
  // the data that arrived first.
  int pipeFds[2];
  ASSERT_EQ(pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC), 0);
  auto device = std::make_unique<ScriptedDevice>(pipeFds[0]);
  const auto lines = device->lines;
  auto loop = std::make_shared<OwnerLoop>();
  auto triggers = std::make_shared<SerialTriggers>();
  auto port = std::make_shared<PortReactor>(std::move(device), loop, triggers, 4096, "COM233");
  std::string order;
  port->Start({[&](uint16_t count) {
                 port->Consumed(count);
                 order += 'D';
               },
               [&](uint16_t) { order += 'M'; },
               [](const std::string&) {},
               [] {},
               {}});
  const uint16_t handle = triggers->Add(kModemTriggerType);
  std::string expected;
  for (int round = 0; round < 10; ++round) {
    loop->Pump(0ms);
    triggers->Arm(handle, kModemCTS, true, port->Status());
    ASSERT_EQ(::write(pipeFds[1], "q", 1), 1);
    lines->store(round % 2 == 0 ? kModemCTS : 0);
    std::this_thread::sleep_for(15ms);  // past the line timer's period, without pumping
    expected += "DM";
    ASSERT_TRUE(loop->PumpUntil([&] { return order.size() == expected.size(); }, kWait));
  }
  EXPECT_EQ(order, expected);
  port->Stop();
  ::close(pipeFds[1]);
}

TEST(PortLoop, OpenPortsAddNoThreadAndCyclesLeaveNoDescriptorBehind) {
  const std::string link = TempLink("cycles");
  ComOverride map(232, "pty:" + link);
  OwnedPort pty, cable, peer;
  pty.port.SetComNumber(232);
  cable.port.SetComNumber(251);
  peer.port.SetComNumber(252);
  peer.port.SetOpen(true);
  std::vector<std::string> errors;
  for (TSerialPort* port : {&pty.port, &cable.port}) {
    port->OnError = [&](TSerialPort&, const std::string& m) { errors.push_back(m); };
  }
  const std::size_t threads = Threads();
  // One cycle first: whatever is made once per process (the cable's socket pair) is made.
  cable.port.SetOpen(true);
  cable.port.SetOpen(false);
  const std::size_t descriptors = OpenDescriptors();
  for (int cycle = 0; cycle < 1000; ++cycle) {
    OwnedPort& owned = cycle % 2 == 0 ? pty : cable;
    owned.port.SetOpen(true);
    if (cycle == 0 || cycle == 1) {
      EXPECT_EQ(Threads(), threads) << "cycle " << cycle;
    }
    owned.port.WriteString(std::string("x"));
    owned.loop->Pump(0ms);
    owned.port.SetOpen(false);
  }
  peer.loop->Pump(0ms);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_EQ(Threads(), threads);
  EXPECT_TRUE(errors.empty()) << errors.front();
}
