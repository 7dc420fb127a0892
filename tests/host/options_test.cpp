// The command line: every option in both spellings, the checks that reject a bad run before it
// starts, and the arguments handed on to the window toolkit.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "ProgramOptions.h"
#include "TempDir.h"

namespace {
ProgramOptions Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "selkietest");
  return ParseOptions(args);
}

std::string ErrorOf(std::vector<std::string> args) {
  try {
    Parse(std::move(args));
  } catch (const OptionsError& e) {
    return e.what();
  }
  return "";
}
TEST(OptionsTest, PersonalityForTheMachineAndLearnFromACapture) {
  EXPECT_EQ(Parse({"--personality", "broadcast-vtr"}).personality, "broadcast-vtr");
  EXPECT_EQ(Parse({"--headless", "--port-a", "COM1", "--personality=d.toml"}).personality,
            "d.toml");
  const ProgramOptions learn = Parse({"--learn", "s.cap", "-o", "deck.toml"});
  EXPECT_EQ(learn.learn, "s.cap");
  EXPECT_EQ(learn.output, "deck.toml");
  EXPECT_EQ(learn.toolkitArgs.size(), 1u);  // "-o" is not the toolkit's
  EXPECT_NE(ErrorOf({"--learn", "s.cap"}).find("-o"), std::string::npos);
  EXPECT_NE(ErrorOf({"-o", "x.toml"}).find("--learn"), std::string::npos);
  EXPECT_NE(ErrorOf({"--learn", "s.cap", "-o", "x", "--exact"}).find("--exact"), std::string::npos);
  EXPECT_NE(ErrorOf({"--learn", "s.cap", "-o", "x", "--headless"}).find("--headless"),
            std::string::npos);
  EXPECT_NE(ErrorOf({"--replay", "a.cap", "--port-b", "COM3", "--personality", "ideal"}), "");
  const std::string usage = UsageText();
  for (const char* option : {"--personality", "--learn", "broadcast-vtr"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
}

}  // namespace

TEST(OptionsTest, NoArgumentsOpenTheWindow) {
  const ProgramOptions o = Parse({});
  EXPECT_FALSE(o.headless || o.demo || o.help);
  EXPECT_EQ(o.toolkitArgs, std::vector<std::string>{"selkietest"});
}

TEST(OptionsTest, HeadlessWithEveryOption) {
  const ProgramOptions o =
      Parse({"--headless", "--port-a", "pty:/tmp/vm", "--port-b=COM3", "--tick", "40",
             "--machine=16", "--standard", "3", "--log", "--settings", "/tmp/s.ini"});
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.portA, "pty:/tmp/vm");
  EXPECT_EQ(o.portB, "COM3");
  EXPECT_EQ(o.tickMs, 40);
  EXPECT_EQ(o.machine, 16);
  EXPECT_EQ(o.standard, 3);
  EXPECT_TRUE(o.log);
  EXPECT_EQ(o.settings, "/tmp/s.ini");
}

TEST(OptionsTest, NumbersOutOfRangeOrMalformedAreRefused) {
  EXPECT_NE(ErrorOf({"--headless", "--port-a", "COM1", "--machine", "17"}).find("0 to 16"),
            std::string::npos);
  EXPECT_NE(ErrorOf({"--headless", "--port-a", "COM1", "--standard", "-1"}), "");
  EXPECT_NE(ErrorOf({"--headless", "--port-a", "COM1", "--tick", "0"}), "");
  EXPECT_NE(ErrorOf({"--headless", "--port-a", "COM1", "--tick", "40ms"}), "");
  EXPECT_NE(ErrorOf({"--headless", "--port-a", "COM1", "--tick="}), "");
}

TEST(OptionsTest, BadCombinationsAreRefused) {
  EXPECT_NE(ErrorOf({"--headless"}).find("--port-a"), std::string::npos);
  EXPECT_NE(ErrorOf({"--demo", "--headless", "--port-a", "COM1"}), "");
  EXPECT_NE(ErrorOf({"--port-a", "COM1"}).find("--headless"), std::string::npos);
  EXPECT_NE(ErrorOf({"--headless", "--port-a", "COM1", "--port-b", "COM1"}), "");
  EXPECT_NE(ErrorOf({"--headless", "--port-a"}).find("needs a value"), std::string::npos);
  EXPECT_NE(ErrorOf({"--demo=1"}).find("takes no value"), std::string::npos);
  EXPECT_NE(ErrorOf({"--frobnicate"}).find("unknown option"), std::string::npos);
  EXPECT_NE(ErrorOf({"stray"}).find("unexpected"), std::string::npos);
  // A name longer than the system takes is no file to open, not a crash.
  EXPECT_NE(ErrorOf({std::string(5000, 'x')}).find("unexpected"), std::string::npos);
}

TEST(OptionsTest, ACaptureFileAloneOpensTheViewer) {
  TempDir dir;
  const std::string file = (dir.path() / "morning.cap").string();
  std::ofstream(file) << "# selkietest capture 1\n";
  EXPECT_EQ(Parse({file}).openCapture, file);
  EXPECT_EQ(Parse({file, "-platform", "offscreen"}).openCapture, file);
  EXPECT_NE(ErrorOf({file, file}).find("unexpected"), std::string::npos);
  EXPECT_NE(ErrorOf({dir.path().string()}).find("unexpected"), std::string::npos)
      << "a folder is no capture";
  EXPECT_NE(ErrorOf({file, "--demo"}).find("--demo"), std::string::npos);
  EXPECT_NE(ErrorOf({"--headless", "--port-a", "COM1", file}).find("--headless"),
            std::string::npos);
}

TEST(OptionsTest, ListPortsRunsNothingElse) {
  EXPECT_TRUE(Parse({"--list-ports"}).listPorts);
  EXPECT_FALSE(Parse({}).listPorts);
  EXPECT_NE(ErrorOf({"--list-ports", "--demo"}).find("--list-ports"), std::string::npos);
  EXPECT_NE(ErrorOf({"--list-ports", "--headless", "--port-a", "COM1"}), "");
}

TEST(OptionsTest, LogDecodedCaptureAndBridge) {
  const ProgramOptions plain = Parse({"--headless", "--port-a", "COM1", "--log"});
  EXPECT_TRUE(plain.log);
  EXPECT_FALSE(plain.logDecoded);
  for (const auto& args :
       {std::vector<std::string>{"--headless", "--port-a", "COM1", "--log", "decoded"},
        std::vector<std::string>{"--headless", "--log=decoded", "--port-a", "COM1"}}) {
    const ProgramOptions o = Parse(args);
    EXPECT_TRUE(o.log && o.logDecoded);
    EXPECT_EQ(o.portA, "COM1");
  }
  EXPECT_NE(ErrorOf({"--headless", "--port-a", "COM1", "--log=all"}).find("decoded"),
            std::string::npos);

  const ProgramOptions bridge = Parse({"--headless", "--bridge", "--port-a", "pty:/tmp/e",
                                       "--port-b", "/dev/ttyUSB0", "--capture", "/tmp/c.txt"});
  EXPECT_TRUE(bridge.bridge);
  EXPECT_EQ(bridge.capture, "/tmp/c.txt");
  EXPECT_NE(ErrorOf({"--headless", "--bridge", "--port-a", "COM1"}).find("--port-b"),
            std::string::npos);
  EXPECT_NE(ErrorOf({"--bridge"}).find("--headless"), std::string::npos);
  // The window captures too; a replay does not.
  EXPECT_EQ(Parse({"--capture=/tmp/w.txt"}).capture, "/tmp/w.txt");
  EXPECT_NE(ErrorOf({"--replay", "s.cap", "--port-b", "COM2", "--capture", "c"}), "");
  const std::string usage = UsageText();
  for (const char* option : {"--log decoded", "--capture", "--bridge"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
}

TEST(OptionsTest, SingleDashArgumentsGoToTheToolkit) {
  const ProgramOptions o = Parse({"-platform", "offscreen", "--demo", "-style=fusion"});
  EXPECT_TRUE(o.demo);
  EXPECT_EQ(o.toolkitArgs,
            (std::vector<std::string>{"selkietest", "-platform", "offscreen", "-style=fusion"}));
}

// The short forms are ours, not the toolkit's: with a display, "-h" opened the window before.
TEST(OptionsTest, ShortHelpAndVersionAreOptionsNotToolkitArguments) {
  const ProgramOptions help = Parse({"-h"});
  EXPECT_TRUE(help.help);
  EXPECT_EQ(help.toolkitArgs, (std::vector<std::string>{"selkietest"}));
  const ProgramOptions version = Parse({"-V", "-platform", "offscreen"});
  EXPECT_TRUE(version.version);
  EXPECT_EQ(version.toolkitArgs,
            (std::vector<std::string>{"selkietest", "-platform", "offscreen"}));
  EXPECT_NE(UsageText().find("-h, --help"), std::string::npos);
  EXPECT_NE(UsageText().find("-V, --version"), std::string::npos);
}

TEST(OptionsTest, HelpNeedsNothingElseAndDocumentsEveryOption) {
  EXPECT_TRUE(Parse({"--help", "--headless"}).help);
  const std::string usage = UsageText();
  for (const char* option :
       {"--demo", "--headless", "--port-a", "--port-b", "--tick", "--machine", "--standard",
        "--log", "--settings", "--list-ports", "--help", "QT_QPA_PLATFORM"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
}

TEST(OptionsTest, ReplayPlaysACaptureToPortB) {
  const ProgramOptions o = Parse({"--replay", "session.cap", "--port-b=pty:/tmp/m", "--exact"});
  EXPECT_EQ(o.replay, "session.cap");
  EXPECT_EQ(o.portB, "pty:/tmp/m");
  EXPECT_TRUE(o.exact);
  EXPECT_FALSE(Parse({"--replay=a.cap", "--port-b", "COM3"}).exact);
  EXPECT_NE(ErrorOf({"--replay", "a.cap"}).find("--port-b"), std::string::npos);
  EXPECT_NE(ErrorOf({"--exact"}).find("--replay"), std::string::npos);
  EXPECT_NE(ErrorOf({"--replay", "a.cap", "--port-b", "COM3", "--headless"}), "");
  EXPECT_NE(ErrorOf({"--replay", "a.cap", "--port-b", "COM3", "--port-a", "COM1"}).find("--port-a"),
            std::string::npos);
  EXPECT_NE(ErrorOf({"--replay", "a.cap", "--port-b", "COM3", "--machine", "2"}).find("--machine"),
            std::string::npos);
  const std::string usage = UsageText();
  for (const char* option : {"--replay", "--exact"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
}

TEST(OptionsTest, HelpWinsOverOptionsThatCannotBeCombined) {
  // Found by the options fuzz target: --help with --demo --headless is help, not an error.
  const ProgramOptions o = Parse({"--help", "--demo", "--headless"});
  EXPECT_TRUE(o.help);
  EXPECT_NE(ErrorOf({"--demo", "--headless"}), "");
}

TEST(OptionsTest, VersionNeedsNothingElseAndIsDocumented) {
  EXPECT_TRUE(Parse({"--version"}).version);
  EXPECT_TRUE(Parse({"--version", "--headless"}).version);
  EXPECT_EQ(ErrorOf({"--version=2"}), "--version takes no value");
  EXPECT_NE(UsageText().find("--version"), std::string::npos);
  EXPECT_TRUE(std::regex_match(VersionText(), std::regex("selkietest \\d+\\.\\d+\\.\\d+\n")))
      << VersionText();
}

TEST(OptionsTest, RackHeadlessOrInTheWindowAndWhatItRefuses) {
  const ProgramOptions file = Parse({"--headless", "--rack", "rack.toml", "--log", "decoded"});
  EXPECT_EQ(file.rack, "rack.toml");
  const ProgramOptions shorthand =
      Parse({"--rack=8", "--port-a", "pty:/tmp/vtr{n}", "--machine", "5", "--standard", "1"});
  EXPECT_EQ(shorthand.rack, "8");
  EXPECT_FALSE(shorthand.headless) << "a rack with a display opens the rack view";
  EXPECT_EQ(shorthand.machine, 5);
  EXPECT_NE(ErrorOf({"--headless", "--rack", "r.toml", "--bridge"}).find("--bridge"),
            std::string::npos);
  EXPECT_EQ(Parse({"--headless", "--rack", "r.toml", "--capture", "c.txt"}).capture, "c.txt");
  EXPECT_EQ(Parse({"--learn", "c.txt", "-o", "p.toml", "--from", "vtr2"}).from, "vtr2");
  EXPECT_NE(ErrorOf({"--headless", "--rack", "r.toml", "--from", "vtr2"}).find("--from"),
            std::string::npos);
  EXPECT_NE(ErrorOf({"--replay", "a.cap", "--port-b", "COM3", "--rack", "2"}).find("--rack"),
            std::string::npos);
  EXPECT_NE(UsageText().find("--rack"), std::string::npos);
}
