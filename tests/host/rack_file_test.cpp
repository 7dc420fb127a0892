// Rack files and the --rack shorthand: what they read into, and every bad entry refused with the
// file, the line, the entry and the key named.
#include <gtest/gtest.h>

#include "PersonalityFile.h"
#include "RackFile.h"

namespace {

TEST(RackFileTest, ReadsEveryKeyAndNamesUnnamedMachinesByTheirPlace) {
  const std::vector<RackEntry> rack = ParseRack(R"(
[[machine]]
port = "pty:/tmp/a"
machine = 16
standard = 3
personality = "broadcast-vtr"

[[machine]]
name = "deck-2"
port = "COM7"
)",
                                                "r.toml");
  ASSERT_EQ(rack.size(), 2u);
  EXPECT_EQ(rack[0], (RackEntry{"vtr1", "pty:/tmp/a", 16, 3, "broadcast-vtr",
                                LoadPersonality("broadcast-vtr")}));
  EXPECT_EQ(rack[1], (RackEntry{"deck-2", "COM7", 0, 0, std::nullopt, std::nullopt}));
}

TEST(RackFileTest, BadEntriesAreNamed) {
  const std::string one = "[[machine]]\nport = \"COM1\"\n";
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"[[machine]]\nname = \"x\"\nmachine = 17\nport = \"COM1\"\n",
       "r.toml:3: machine 1 (\"x\"): machine: expected a whole number from 0 to 16"},
      {one + "[[machine]]\nport = \"COM2\"\nstandard = \"EBU\"\n",
       "r.toml:5: machine 2: standard: expected a whole number from 0 to 3"},
      {one + "[[machine]]\nname = \"b\"\n", "r.toml:3: machine 2 (\"b\"): port: missing"},
      {"[[machine]]\nport = \"COM1\"\nspeed = 3\n", "r.toml:3: machine 1: speed: unknown key"},
      {"[[machine]]\nport = \"COM1\"\npersonality = \"/nonexistent/p.toml\"\n",
       "r.toml:3: machine 1: personality: "},
      {"[[machine]]\nname = \"a b\"\nport = \"COM1\"\n", "r.toml:2: machine 1: name: expected"},
      {one + one, "r.toml: machine 2 (\"vtr2\"): port: \"COM1\" is already the port of machine 1"},
      {"[[machine]]\nname = \"a\"\nport = \"COM1\"\n[[machine]]\nname = \"a\"\nport = \"COM2\"\n",
       "r.toml: machine 2 (\"a\"): name: already the name of machine 1"},
      {"title = 1\n", "r.toml:1: title: unknown key"},
      {"", "r.toml: no [[machine]] table"},
      {"[[machine]\n", "r.toml:1: "},
  };
  for (const auto& c : cases) {
    try {
      ParseRack(c.text, "r.toml");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const RackError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
}

TEST(RackFileTest, AtMost35Machines) {
  std::string text;
  for (int i = 1; i <= 36; ++i) text += "[[machine]]\nport = \"COM" + std::to_string(i) + "\"\n";
  EXPECT_THROW(ParseRack(text, "r.toml"), RackError);
  EXPECT_EQ(ShorthandRack(35, "pty:/t/v{n}", 0, 0, std::nullopt).size(), 35u);
  EXPECT_THROW(ShorthandRack(36, "pty:/t/v{n}", 0, 0, std::nullopt), RackError);
  EXPECT_THROW(ShorthandRack(0, "pty:/t/v{n}", 0, 0, std::nullopt), RackError);
}

TEST(RackFileTest, ShorthandNumbersThePortsAndSharesTheIdentity) {
  const std::vector<RackEntry> rack = LoadRack("3", "pty:/t/vtr{n}", 5, 2, std::nullopt);
  ASSERT_EQ(rack.size(), 3u);
  EXPECT_EQ(rack[2], (RackEntry{"vtr3", "pty:/t/vtr3", 5, 2, std::nullopt, std::nullopt}));
  EXPECT_THROW(LoadRack("3", "pty:/t/vtr", 0, 0, std::nullopt), RackError) << "no {n}";
  EXPECT_THROW(LoadRack("3", std::nullopt, 0, 0, std::nullopt), RackError) << "no --port-a";
  EXPECT_THROW(LoadRack("/nonexistent/rack.toml", std::nullopt, 0, 0, std::nullopt), RackError);
}

}  // namespace
