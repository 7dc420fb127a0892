// Personality files: every key read into its field, round trips, and refusals that name the
// file, line and key.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "PersonalityFile.h"

namespace {

constexpr const char* kEveryKey = R"(name = "every key"
[identity]
machine = 5
standard = 1
device_type = "20 25"
[timing]
reply_delay_ms = 4
reply_jitter_ms = 1.5
seed = 42
byte_time_us = 286
receive_timeout_ms = 10
[errors]
nak_checksum = true
nak_timeout = true
nak_undefined = true
[commands]
accept = ["0x *", "2x", "61 20"]
ignore = ["20 10"]
nak = ["20 02 = 80"]
silent = ["61 0C"]
[status]
bytes = 10
local = true
tape_out = true
servo_lock = true
[faults]
drop_every = 2
bad_checksum_every = 3
late_every = 4
late_ms = 20
split_every = 5
split_gap_ms = 0.5
swallow_first = 6
garbage_every = 7
)";

TEST(PersonalityFile, EveryKeyLandsInItsField) {
  const Personality p = ParsePersonality(kEveryKey, "every.toml");
  EXPECT_EQ(p.name, "every key");
  EXPECT_EQ(p.identity.machine, 5);
  EXPECT_EQ(p.identity.standard, 1);
  EXPECT_EQ(p.identity.deviceType, (std::array<uint8_t, 2>{0x20, 0x25}));
  EXPECT_EQ(p.timing.replyDelayUs, 4000);
  EXPECT_EQ(p.timing.replyJitterUs, 1500);
  EXPECT_EQ(p.timing.seed, 42u);
  EXPECT_EQ(p.timing.byteTimeUs, 286);
  EXPECT_EQ(p.timing.receiveTimeoutUs, 10000);
  EXPECT_TRUE(p.errors.nakChecksum && p.errors.nakTimeout && p.errors.nakUndefined);
  ASSERT_TRUE(p.commands.accept);
  EXPECT_EQ(p.commands.accept->size(), 3u);
  EXPECT_EQ((*p.commands.accept)[1].Text(), "2x *");
  EXPECT_EQ(p.commands.ignore.at(0).Text(), "20 10");
  EXPECT_EQ(p.commands.nak.at(0).Text(), "20 02 = 80");
  EXPECT_EQ(p.commands.silent.at(0).Text(), "61 0C");
  EXPECT_EQ(p.status.bytes, 10);
  EXPECT_TRUE(p.status.local);
  EXPECT_EQ(p.status.bits, (std::set<std::string>{"servo_lock", "tape_out"}));
  EXPECT_EQ(p.faults.dropEvery, 2);
  EXPECT_EQ(p.faults.badChecksumEvery, 3);
  EXPECT_EQ(p.faults.lateEvery, 4);
  EXPECT_EQ(p.faults.lateUs, 20000);
  EXPECT_EQ(p.faults.splitEvery, 5);
  EXPECT_EQ(p.faults.splitGapUs, 500);
  EXPECT_EQ(p.faults.swallowFirst, 6);
  EXPECT_EQ(p.faults.garbageEvery, 7);
}

TEST(PersonalityFile, WrittenFilesReadBackEqual) {
  std::vector<Personality> all = BuiltInPersonalities();
  all.push_back(ParsePersonality(kEveryKey, "every.toml"));
  Personality odd;
  odd.name = "quote \" and \\ backslash";
  odd.commands.accept = std::vector<CommandPattern>{};  // accepts nothing: not the same as absent
  odd.timing.replyDelayUs = 1;
  all.push_back(odd);
  for (const Personality& p : all) {
    const std::string text = WritePersonality(p, {"a comment"});
    EXPECT_EQ(ParsePersonality(text, "written.toml"), p) << text;
  }
  EXPECT_EQ(WritePersonality(Personality{}), "name = \"ideal\"\n");
}

TEST(PersonalityFile, RefusalsNameFileLineAndKey) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"name = \"x\"\nspeed = 3\n", "bad.toml:2: speed: unknown key"},
      {"[timing]\nreply_delay_ms = 4\nreply_dealy_ms = 4\n",
       "bad.toml:3: timing.reply_dealy_ms: unknown key"},
      {"[timing]\nreply_delay_ms = \"4\"\n",
       "bad.toml:2: timing.reply_delay_ms: expected milliseconds"},
      {"[timing]\nreply_delay_ms = -1\n", "bad.toml:2: timing.reply_delay_ms"},
      {"[timing]\nreply_delay_ms = nan\n", "bad.toml:2: timing.reply_delay_ms"},
      {"[identity]\nmachine = 17\n",
       "bad.toml:2: identity.machine: expected a whole number from 0 to 16"},
      {"[identity]\ndevice_type = \"2x 25\"\n", "bad.toml:2: identity.device_type"},
      {"[commands]\naccept = [\"20 01\",\n \"2G\"]\n",
       "bad.toml:3: commands.accept: expected commands"},
      {"[commands]\nnak = [\"20 01\"]\n", "bad.toml:2: commands.nak: expected refusals"},
      {"[commands]\nignore = \"20 01\"\n", "bad.toml:2: commands.ignore: expected a list"},
      {"[status]\nbytes = 17\n", "bad.toml:2: status.bytes"},
      {"[status]\ncassette = true\n", "bad.toml:2: status.cassette: unknown key"},
      {"[faults]\ndrop_every = 1.5\n", "bad.toml:2: faults.drop_every"},
      {"timing = 3\n", "bad.toml:1: timing: expected a table"},
      {"name = \"\"\n", "bad.toml:1: name: expected a name"},
      {"name = \"a\nb\"\n", "bad.toml:1: syntax:"},
      {"[errors]\nnak_checksum = 1\n", "bad.toml:2: errors.nak_checksum: expected true or false"},
  };
  for (const auto& c : cases) {
    try {
      ParsePersonality(c.text, "bad.toml");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const PersonalityError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(c.expected, 0), 0u)
          << error.what() << "\nexpected: " << c.expected;
    }
  }
}

TEST(PersonalityFile, PatternsMatchTheirCommands) {
  const struct {
    const char* pattern;
    uint8_t cmd1;
    uint8_t cmd2;
    bool matches;
  } cases[] = {
      {"2x *", 0x20, 0x01, true},  {"2x *", 0x21, 0x11, true},  {"2x *", 0x61, 0x20, false},
      {"2x", 0x2F, 0xFF, true},    {"61 20", 0x61, 0x20, true}, {"61 20", 0x61, 0x21, false},
      {"* 20", 0x61, 0x20, true},  {"* 20", 0x20, 0x00, false}, {"6x 0c", 0x61, 0x0C, true},
      {"61 *", 0x60, 0x20, false},
  };
  for (const auto& c : cases) {
    const auto pattern = ParseCommandPattern(c.pattern);
    ASSERT_TRUE(pattern) << c.pattern;
    EXPECT_EQ(pattern->Matches(c.cmd1, c.cmd2), c.matches) << c.pattern;
  }
  for (const char* bad : {"", "2", "2xx", "G0", "20 01 02", "x2", "20 0x1"}) {
    EXPECT_FALSE(ParseCommandPattern(bad)) << bad;
  }
  EXPECT_FALSE(ParseCommandRefusal("20 01 = 00"));  // a NAK without a reason is no NAK
  EXPECT_FALSE(ParseCommandRefusal("20 01 = 1FF"));
}

TEST(PersonalityFile, LoadsBuiltInNamesAndFiles) {
  EXPECT_EQ(LoadPersonality("ideal"), Personality{});
  for (const char* name : {"broadcast-vtr", "disk-recorder", "local-deck", "flaky-line"}) {
    EXPECT_EQ(LoadPersonality(name).name, name);
  }
  const auto path = std::filesystem::temp_directory_path() / "personality_file_test.toml";
  std::ofstream(path) << "name = \"from file\"\n[timing]\nreply_delay_ms = 3\n";
  EXPECT_EQ(LoadPersonality(path.string()).timing.replyDelayUs, 3000);
  std::filesystem::remove(path);
  EXPECT_THROW(LoadPersonality(path.string()), PersonalityError);
}

}  // namespace
