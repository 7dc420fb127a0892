// The census engine against the virtual machine on a simulated line: what it asks, what it
// reports for answers, NAKs, delays, drops and garbled replies, and the transport checks.
#include "Census.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "ScriptedMachine.h"

namespace {

using namespace std::chrono_literals;

Census::Settings Quick(bool transport = false) {
  Census::Settings settings;
  settings.pollFor = 2s;
  settings.transport = transport;
  return settings;
}

CensusResult RunOn(ScriptedMachine& machine, Census::Settings settings = Quick()) {
  Census census(settings);
  machine.Run(census);
  EXPECT_TRUE(census.Finished());
  return census.Result();
}

TEST(CensusProbe, AsksDeviceTypeFirstAndEverySenseButNothingThatChangesState) {
  const std::vector<Bytes> probes = Census::ProbeRequests();
  ASSERT_FALSE(probes.empty());
  EXPECT_EQ(probes.front(), Framed({0x00, 0x11}));
  std::set<uint8_t> statusRanges;
  std::set<uint8_t> timeKinds;
  for (const Bytes& p : probes) {
    if (p[0] == 0x61 && p[1] == 0x20) {
      EXPECT_TRUE(statusRanges.insert(p[2]).second);
    }
    if (p[0] == 0x61 && p[1] == 0x0C) timeKinds.insert(p[2]);
    // SET CLIP IN/OUT, ADD CLIP, CLIP COMMAND A3/A4 and LOAD LSM ID change the machine.
    EXPECT_FALSE((p[0] >> 4) == 6 && p[1] >= 0xA0 && p[1] <= 0xA5) << HexBytes(p);
    EXPECT_NE(p[0] >> 4, 2) << "no transport command in the probe: " << HexBytes(p);
  }
  // Every start S0..S15 with every count up to 15 that stays inside S15.
  EXPECT_EQ(statusRanges.size(), 135u);
  EXPECT_TRUE(statusRanges.count(0x0F) && statusRanges.count(0xF1) && statusRanges.count(0x1F));
  EXPECT_FALSE(statusRanges.count(0x00) || statusRanges.count(0x2F));
  EXPECT_EQ(timeKinds, (std::set<uint8_t>{0x01, 0x02, 0x04, 0x08, 0x1E}));
  EXPECT_TRUE(std::count(probes.begin(), probes.end(), Framed({0x61, 0x30, 0x0D})));
  EXPECT_TRUE(std::count(probes.begin(), probes.end(), Framed({0x60, 0x10})));  // IN DATA
}

TEST(Census, DefaultMachineConformsWithEveryTransportCheck) {
  ScriptedMachine machine;
  const CensusResult result = RunOn(machine, Quick(true));
  EXPECT_TRUE(result.Conforms()) << ::testing::PrintToString(result.Faults());
  EXPECT_EQ(result.deviceType, "F1 1D");
  EXPECT_EQ(result.deviceName, "DA-88 PAL");
  ASSERT_EQ(result.commands.size(), Census::ProbeRequests().size());
  for (const ProbeEntry& entry : result.commands) {
    EXPECT_NE(entry.reply, ReplyKind::None) << entry.name;
    EXPECT_NE(entry.reply, ReplyKind::Nak) << entry.name;
    EXPECT_EQ(entry.replyMs, 0.0) << entry.name;  // the ideal machine answers at once
  }
  // One poll per 40 ms frame tick for two seconds.
  EXPECT_EQ(result.polls, 50);
  EXPECT_EQ(result.timeouts, 0);
  ASSERT_EQ(result.transport.size(), 6u);
  for (const TransportCheck& check : result.transport)
    EXPECT_TRUE(check.passed) << check.name << ": " << check.detail;
  EXPECT_EQ(result.transport[0].detail, "landed on 00:10:00:00");
  EXPECT_EQ(result.transport[1].detail, "x1.00 forward");
  EXPECT_EQ(result.transport[2].detail, "x0.00 still");
  EXPECT_EQ(result.transport[4].detail, "x70.00 backward");
}

TEST(Census, NakedCommandsAreReportedWithExactlyThoseBits) {
  ScriptedMachine machine("[commands]\nnak = [\"60 10 = 01\", \"60 36 = 01\", \"00 B3 = 80\"]\n");
  const CensusResult result = RunOn(machine);
  std::map<std::string, uint8_t> naked;
  for (const ProbeEntry& entry : result.commands) {
    if (entry.reply == ReplyKind::Nak) naked[entry.request] = entry.nakBits;
  }
  EXPECT_EQ(naked,
            (std::map<std::string, uint8_t>{{"60 10", 0x01}, {"60 36", 0x01}, {"00 B3", 0x80}}));
  // Not knowing a command is no fault; a NAK for a time-out is.
  const std::vector<std::string> faults = result.Faults();
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0], "VERSION REQUEST answered NAK TIME-OUT");
}

TEST(Census, ReplyDelayShowsInTheMedianAndLateRepliesFail) {
  ScriptedMachine prompt("[timing]\nreply_delay_ms = 3\n");
  const CensusResult quick = RunOn(prompt);
  EXPECT_DOUBLE_EQ(quick.FirstByteStats().median, 3.0);
  EXPECT_EQ(quick.FirstByteStats().over9ms, 0);
  EXPECT_TRUE(quick.Conforms());

  ScriptedMachine slow("[timing]\nreply_delay_ms = 12\n");
  const CensusResult late = RunOn(slow);
  const ReplyStats stats = late.FirstByteStats();
  EXPECT_DOUBLE_EQ(stats.median, 12.0);
  EXPECT_EQ(stats.over9ms, stats.count);
  EXPECT_FALSE(late.Conforms());
}

TEST(Census, EveryDroppedReplyIsOneTimeoutOrOneUnansweredProbe) {
  ScriptedMachine machine("[faults]\ndrop_every = 10\n");
  const CensusResult result = RunOn(machine);
  const auto unanswered =
      std::count_if(result.commands.begin(), result.commands.end(),
                    [](const ProbeEntry& e) { return e.reply == ReplyKind::None; });
  // The 10th, 20th... request of the run went unanswered: the probe's and the polls'.
  const int dropped = machine.requests / 10;
  EXPECT_EQ(unanswered, static_cast<long>(result.commands.size() / 10));
  EXPECT_EQ(result.timeouts, dropped - unanswered);
  EXPECT_EQ(result.polls, machine.requests - static_cast<int>(result.commands.size()));
  EXPECT_GT(result.timeouts, 0);
  EXPECT_FALSE(result.Conforms());
}

TEST(Census, GarbledReplyAndStrayBytesAreCountedNotTakenAsAnswers) {
  ScriptedMachine machine;
  machine.garbleReply = 1;  // 12 B3 5A 21: no good message hides inside it
  machine.strayFirst = {0xFF, 0xFE};
  const CensusResult result = RunOn(machine);
  EXPECT_EQ(result.checksumErrors, 1);
  EXPECT_EQ(result.strayBytes, 2);
  EXPECT_EQ(result.commands[1].reply, ReplyKind::None);
  EXPECT_EQ(result.commands[1].replyText, "bad checksum");
  EXPECT_EQ(result.commands[0].reply, ReplyKind::Data);  // the device type after the debris
  EXPECT_EQ(result.timeouts, 0);
  EXPECT_FALSE(result.Conforms());
}

TEST(Census, MachineInLocalModeFailsTheMovingChecks) {
  ScriptedMachine machine("[status]\nlocal = true\n");  // transport ACKed and ignored
  const CensusResult result = RunOn(machine, Quick(true));
  std::map<std::string, bool> passed;
  for (const TransportCheck& check : result.transport) passed[check.name] = check.passed;
  EXPECT_FALSE(passed["play"]);
  EXPECT_FALSE(passed["cue"]);
  EXPECT_TRUE(passed["stop"]);
  EXPECT_FALSE(result.Conforms());
}

TEST(Census, TransportChecksSayWhenTheTimeCodeIsRefused) {
  ScriptedMachine machine("[commands]\nnak = [\"61 0C = 01\"]\n");
  const CensusResult result = RunOn(machine, Quick(true));
  ASSERT_EQ(result.transport.size(), 6u);
  for (const TransportCheck& check : result.transport) {
    EXPECT_FALSE(check.passed) << check.name;
    EXPECT_EQ(check.detail, "the time code was asked for and answered NAK UNKNOWN-COMMAND");
  }
}

TEST(CensusStats, MedianNearestRankP99AndLateCount) {
  const ReplyStats stats = StatsOf({5, 1, 3, 10, 2, 4, 9.5, 8, 7, 6});
  EXPECT_DOUBLE_EQ(stats.median, 5.5);
  EXPECT_DOUBLE_EQ(stats.p99, 10);
  EXPECT_DOUBLE_EQ(stats.max, 10);
  EXPECT_EQ(stats.over9ms, 2);
  EXPECT_EQ(StatsOf({}).count, 0);
}

}  // namespace
