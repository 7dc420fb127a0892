// The command line of the one-shot runs: what fits together, what is refused and why, and the
// hexadecimal message of --send.
#include <gtest/gtest.h>

#include "ProgramOptions.h"
#include "SendRunner.h"

namespace {

ProgramOptions Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "selkietest");
  return ParseOptions(args);
}

TEST(OneShotOptions, RunsThatFit) {
  const ProgramOptions census = Parse(
      {"--census", "--port-b", "COM3", "--seconds", "5", "--transport", "--report", "r.html"});
  EXPECT_TRUE(census.census && census.transport);
  EXPECT_EQ(census.seconds, 5);
  EXPECT_EQ(census.report, "r.html");
  const ProgramOptions editor =
      Parse({"--census-editor", "--port-a", "pty:/tmp/e", "--seconds", "60", "--machine", "16"});
  EXPECT_TRUE(editor.censusEditor);
  EXPECT_EQ(Parse({"--send", "20 01", "--port-b", "COM3", "--expect", "10 01"}).expect, "10 01");
  EXPECT_TRUE(Parse({"--probe-ports"}).probePorts);
  EXPECT_TRUE(Parse({"--probe-ports", "--help"}).help);  // --help wins
  for (const char* option : {"--census ", "--transport ", "--census-editor ", "--send BYTES",
                             "--expect BYTES", "--probe-ports ", "--report FILE"})
    EXPECT_NE(UsageText().find(option), std::string::npos) << option;
}

TEST(OneShotOptions, RefusalsNameTheReason) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--census"}, "--census needs --port-b <port>"},
      {{"--census-editor", "--port-a", "COM1"},
       "--census-editor needs --port-a <port> (the editor) and --seconds"},
      {{"--send", "20 01"}, "--send needs --port-b <port>"},
      {{"--census", "--port-b", "COM2", "--send", "20 01"}, "each run on their own"},
      {{"--census", "--port-b", "COM2", "--headless"}, "--headless is not an option of --census"},
      {{"--census", "--port-b", "COM2", "--port-a", "COM1"},
       "--port-a is not an option of --census"},
      {{"--census", "--port-b", "COM2", "--report", "r.txt"},
       "--report needs a file ending in .json, .md or .html, not \"r.txt\""},
      {{"--census", "--port-b", "COM2", "--seconds", "0"},
       "--seconds needs a whole number from 1 to 86400"},
      {{"--census-editor", "--port-a", "COM1", "--seconds", "5", "--transport"},
       "--transport is not an option of --census-editor"},
      {{"--send", "20 01", "--port-b", "COM2", "--report", "r.json"},
       "--report is not an option of --send"},
      {{"--probe-ports", "--port-b", "COM2"}, "--port-b is not an option of --probe-ports"},
      {{"--transport"}, "options of --census and --census-editor"},
      {{"--expect", "10 01"}, "--expect is an option of --send"},
      {{"--replay", "x.cap", "--port-b", "COM2", "--census"},
       "--replay is not an option of --census"},
  };
  for (const auto& [args, message] : cases) {
    try {
      Parse(args);
      ADD_FAILURE() << "accepted: " << ::testing::PrintToString(args);
    } catch (const OptionsError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

TEST(OneShotOptions, HexMessagesAndTheirFraming) {
  EXPECT_EQ(ParseHexMessage("20 01", "--send"), (std::vector<uint8_t>{0x20, 0x01}));
  EXPECT_EQ(ParseHexMessage("2001", "--send"), (std::vector<uint8_t>{0x20, 0x01}));
  EXPECT_EQ(ParseHexMessage("0x61,0x0c, 01", "--send"), (std::vector<uint8_t>{0x61, 0x0C, 0x01}));
  for (const char* bad :
       {"", "2", "20 1", "2G", "20-01", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"})
    EXPECT_THROW(ParseHexMessage(bad, "--send"), OptionsError) << bad;
  EXPECT_EQ(FramedSend({0x61, 0x0C, 0x01}), (std::vector<uint8_t>{0x61, 0x0C, 0x01, 0x6E}));
  EXPECT_THROW(FramedSend({0x61, 0x0C}), OptionsError);  // CMD-1 announces one data byte
  EXPECT_THROW(FramedSend({0x20}), OptionsError);
}

}  // namespace
