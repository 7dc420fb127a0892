// A rack of virtual machines on the engine host: eight machines on ptys, each with its own
// identity and standard, answer as their own; one machine's transport moves alone; a port that
// vanishes is reported on its row and leaves the others answering. The program refuses a bad
// rack entry by naming it, with exit status 2.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <set>

#include "ChildProgram.h"
#include "EngineHost.h"
#include "LoneMachine.h"
#include "PtyEditor.h"
#include "SerialTestSupport.h"
#include "SonyBytes.h"
#include "TempDir.h"

namespace {

using serial_test::PtyPair;
using serial_test::ReadBytes;
using serial_test::WriteAll;

constexpr int kMachines = 8;
constexpr int kVanishing = 4;  // the machine whose port is a device that goes away

// What a machine of this identity answers to the last of `requests` when it stands alone.
std::vector<uint8_t> AloneAnswers(int machine, int standard,
                                  const std::vector<std::vector<uint8_t>>& requests) {
  VirtualMachine vm;
  StartLone(vm, machine, standard);
  std::vector<uint8_t> reply;
  for (const auto& request : requests)
    reply = vm.DataAvailable(request, VmEventContext{}).ReplyBytes();
  return reply;
}

class RackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EngineHostConfig config;
    config.promptForPort = false;
    config.timer1Ms = 40;
    for (int i = 0; i < kMachines; ++i) {
      RackEntry entry;
      entry.name = "vtr" + std::to_string(i + 1);
      entry.port = i == kVanishing ? device_.Path() : "pty:" + Link(i);
      entry.machine = (i * 5) % 17;  // eight identities, none twice
      entry.standard = i % 4;
      config.rack.push_back(entry);
    }
    entries_ = config.rack;
    host_ = std::make_unique<EngineHost>(config, [] {});
    host_->Start();
    host_->Show(false);
    for (int i = 0; i < kMachines; ++i)
      if (i != kVanishing) editors_[i] = std::make_unique<PtyEditor>(Link(i));
  }

  std::string Link(int i) const { return (dir_.path() / ("vtr" + std::to_string(i + 1))).string(); }

  // The machine's answer, over its pty or, for the device, its master side.
  std::vector<uint8_t> Ask(int i, const std::vector<uint8_t>& request) {
    if (i != kVanishing) return editors_[i]->Request(request);
    WriteAll(device_.Master(), request);
    std::vector<uint8_t> head = ReadBytes(device_.Master(), 3, std::chrono::milliseconds(1000));
    if (head.size() < 3) return head;
    const std::size_t rest = (head[0] & 0x0F);
    std::vector<uint8_t> tail = ReadBytes(device_.Master(), rest, std::chrono::milliseconds(1000));
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  }

  std::vector<RackRow> Rows() {
    std::vector<RackRow> rows;
    host_->Call([&](HostCore& core) { rows = core.MachineRack()->Rows(); });
    return rows;
  }

  TempDir dir_;
  PtyPair device_;
  std::vector<RackEntry> entries_;
  std::unique_ptr<EngineHost> host_;
  std::array<std::unique_ptr<PtyEditor>, kMachines> editors_;
};

TEST_F(RackTest, EachMachineAnswersDeviceTypeAndTimeAsItsOwn) {
  const std::vector<uint8_t> deviceType = Framed({0x00, 0x11});
  std::set<std::vector<uint8_t>> distinct;
  for (int i = 0; i < kMachines; ++i) {
    ASSERT_TRUE(i == kVanishing || editors_[i]->IsOpen()) << i;
    const std::vector<uint8_t> answer = Ask(i, deviceType);
    EXPECT_EQ(answer, AloneAnswers(entries_[i].machine, entries_[i].standard, {deviceType}))
        << entries_[i].name;
    distinct.insert(answer);
  }
  EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kMachines)) << "no two identities alike";
  // Each cued to a time code of its own, and each tells it in its own standard.
  const auto cue = [](int i) {
    return Framed({0x24, 0x31, 0x00, 0x00, static_cast<uint8_t>(0x10 + i), 0x00});
  };
  for (int i = 0; i < kMachines; ++i) EXPECT_EQ(Ask(i, cue(i)), Framed({0x10, 0x01}));
  const std::vector<uint8_t> time = Framed({0x61, 0x0C, 0x01});
  std::set<std::vector<uint8_t>> times;
  for (int i = 0; i < kMachines; ++i) {
    const std::vector<uint8_t> answer = Ask(i, time);
    EXPECT_EQ(answer, AloneAnswers(entries_[i].machine, entries_[i].standard, {cue(i), time}))
        << entries_[i].name;
    ASSERT_EQ(answer.size(), 7u);
    EXPECT_EQ(answer[4], 0x10 + i) << "minutes of its own cue point";
    times.insert(answer);
  }
  EXPECT_EQ(times.size(), static_cast<std::size_t>(kMachines));
  const std::vector<RackRow> rows = Rows();
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kMachines));
  for (int i = 0; i < kMachines; ++i) {
    EXPECT_EQ(rows[i].name, entries_[i].name);
    EXPECT_EQ(rows[i].machine, entries_[i].machine);
    EXPECT_EQ(rows[i].standard, entries_[i].standard);
    EXPECT_TRUE(rows[i].open);
    EXPECT_GE(rows[i].requestsPerSecond, 3) << "device type, cue and time within the second";
    EXPECT_GE(rows[i].lastRequestAgeMs, 0);
  }
}

TEST_F(RackTest, ATransportCommandMovesOnlyItsMachine) {
  constexpr int kPlayer = 2;
  EXPECT_EQ(Ask(kPlayer, Framed({0x20, 0x01})), Framed({0x10, 0x01}));
  for (int i = 0; i < kMachines; ++i) {
    const std::vector<uint8_t> status = Ask(i, Framed({0x61, 0x20, 0x0F}));
    ASSERT_EQ(status.size(), 18u) << i;
    EXPECT_EQ((status[3] & 0x01) != 0, i == kPlayer) << entries_[i].name << ": S1 play bit";
  }
  const std::vector<RackRow> rows = Rows();
  for (int i = 0; i < kMachines; ++i) {
    EXPECT_EQ(rows[i].panel.vplay == kLampLit, i == kPlayer) << entries_[i].name;
    EXPECT_EQ(rows[i].panel.vstop == kLampLit, i != kPlayer) << entries_[i].name;
  }
}

TEST_F(RackTest, APortThatVanishesLeavesTheOthersAnswering) {
  ASSERT_EQ(Ask(kVanishing, Framed({0x00, 0x11})).size(), 5u) << "the device answers first";
  device_.CloseMaster();  // the adapter is pulled
  std::vector<RackRow> rows;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  do {
    rows = Rows();
  } while (rows[kVanishing].errorCount == 0 && std::chrono::steady_clock::now() < deadline);
  EXPECT_EQ(rows[kVanishing].errorCount, 1);
  EXPECT_FALSE(rows[kVanishing].open);
  EXPECT_NE(rows[kVanishing].lastError.find("disconnected"), std::string::npos)
      << rows[kVanishing].lastError;
  const std::vector<uint8_t> deviceType = Framed({0x00, 0x11});
  for (int i = 0; i < kMachines; ++i) {
    if (i == kVanishing) continue;
    EXPECT_EQ(Ask(i, deviceType),
              AloneAnswers(entries_[i].machine, entries_[i].standard, {deviceType}))
        << entries_[i].name;
    EXPECT_TRUE(rows[i].open) << entries_[i].name;
    EXPECT_EQ(rows[i].errorCount, 0) << entries_[i].name;
  }
  HostOutput output = host_->TakeOutput();
  ASSERT_FALSE(output.errors.empty());
  EXPECT_EQ(output.errors.back().rfind("vtr5: ", 0), 0u) << output.errors.back();
}

// Frames on the loop's deadlines, driven here by hand: each machine at its own standard's
// interval, or all at --tick's.
TEST(RackFramesTest, EachMachineRunsFramesAtItsOwnStandardsInterval) {
  const auto loop = std::make_shared<OwnerLoop>();
  std::vector<std::unique_ptr<RackMachine>> machines;
  for (int standard : {0, 1, 2}) {
    RackEntry entry;
    entry.name = "vtr" + std::to_string(standard + 1);
    entry.standard = standard;
    machines.push_back(std::make_unique<RackMachine>(entry, kRackSpareBase + standard, loop));
    machines.back()->Machine().DataAvailable(Framed({0x20, 0x01}), VmEventContext{});  // play
  }
  const auto frames = [&](std::optional<std::chrono::milliseconds> tick) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<int> counts;
    for (auto& machine : machines) {
      const int before = machine->Machine().Port().Position;
      machine->StartFrames(start, tick);
      for (int ms = 1; ms <= 3600; ++ms) machine->Fire(start + std::chrono::milliseconds(ms));
      counts.push_back(machine->Machine().Port().Position - before);
    }
    return counts;
  };
  // One frame per interval of the standard: EBU 60 ms, SMPTE 45 ms, 24P 65 ms.
  EXPECT_EQ(frames(std::nullopt), (std::vector<int>{60, 80, 55}));
  EXPECT_EQ(frames(std::chrono::milliseconds(40)), (std::vector<int>{90, 90, 90}));
}

// The program itself: its exit status, and what it said on stderr in `errors`.
int RunProgram(const std::vector<std::string>& args, std::string& errors,
               const std::filesystem::path& dir) {
  ChildProgram program(SELKIE_PROGRAM, args, dir / "out.txt");
  const int status = program.Wait();
  errors = program.Errors();
  return status;
}

TEST(RackProgramTest, ABadEntryIsNamedAndEndsTheRunWithStatusTwo) {
  TempDir dir;
  const std::filesystem::path file = dir.path() / "rack.toml";
  std::ofstream(file) << "[[machine]]\nport = \"pty:" << (dir.path() / "a").string()
                      << "\"\n\n[[machine]]\nname = \"deck-b\"\nport = \"pty:"
                      << (dir.path() / "b").string() << "\"\nstandard = 7\n";
  std::string errors;
  EXPECT_EQ(RunProgram({"--headless", "--rack", file.string()}, errors, dir.path()), 2);
  EXPECT_NE(errors.find("rack.toml:7: machine 2 (\"deck-b\"): standard: expected a whole number "
                        "from 0 to 3"),
            std::string::npos)
      << errors;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "a")) << "no machine of a bad rack runs";
  EXPECT_EQ(
      RunProgram({"--headless", "--rack", "36", "--port-a", "pty:/tmp/x{n}"}, errors, dir.path()),
      2);
  EXPECT_NE(errors.find("at most 35 machines, not 36"), std::string::npos) << errors;
}

}  // namespace
