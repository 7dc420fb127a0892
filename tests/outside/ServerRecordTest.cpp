// The command server substitute: one readable line per request, in memory and in the log file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ZQServerDll.h"
#include "ZQServerRecord.h"

namespace {

std::vector<std::string> recordLines() {
  std::vector<std::string> lines;
  char buffer[512];
  for (int32_t n = 0; n < ZQServerRecord_Count(); ++n) {
    EXPECT_GE(ZQServerRecord_Line(n, buffer, sizeof buffer), 0);
    lines.emplace_back(buffer);
  }
  return lines;
}

std::vector<std::string> fileLines(const std::string &path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

class ServerRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("VYOSERVER_LOG");
    ZQServerRecord_Clear();
    logPath_ = ::testing::TempDir() + "vyoserver-" + std::to_string(getpid()) + ".log";
    std::remove(logPath_.c_str());
  }
  void TearDown() override {
    unsetenv("VYOSERVER_LOG");
    std::remove(logPath_.c_str());
  }
  std::string logPath_;
};

TEST_F(ServerRecord, EachFunctionWritesOneReadableLine) {
  const uint8_t arming[7] = {0x01, 0x00, 0x80, 0xFF, 0x00, 0x00, 0x0A};
  const uint8_t logical[12] = {0xF0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  const uint8_t cue[] = {0x24, 0x31, 0x04, 0x03, 0x02, 0x01, 0x99};
  ZQServer_McnCommand(1, 0x20);
  ZQServer_McnCommandWithByteData(-1, 0x21, 255);
  ZQServer_McnCommandWithTCFrms(0, 32, -5);
  ZQServer_McnCommandWithTC(35, 7, "01:02:03:04");
  ZQServer_McnTrackArming(2, arming, 7);
  ZQServer_LogicalTrackArming(logical, 12);
  ZQServer_MacroCommand(65, 0);
  ZQServer_SonyCommand(3, cue);

  const std::vector<std::string> expected = {
      "ZQServer_McnCommand machine=1 command=32 (0x20)",
      "ZQServer_McnCommandWithByteData machine=-1 command=33 (0x21) data=255 (0xFF)",
      "ZQServer_McnCommandWithTCFrms machine=0 command=32 (0x20) frames=-5",
      "ZQServer_McnCommandWithTC machine=35 command=7 (0x07) time=\"01:02:03:04\"",
      "ZQServer_McnTrackArming machine=2 count=7 arming=01 00 80 FF 00 00 0A",
      "ZQServer_LogicalTrackArming count=12 arming=F0 01 02 03 04 05 06 07 08 09 0A 0B",
      "ZQServer_MacroCommand macro=65 (0x41) zero=0",
      // The data count comes from CMD-1's low nibble; the byte after the data is not read.
      "ZQServer_SonyCommand machine=3 cmd1=36 (0x24) cmd2=49 (0x31) data=04 03 02 01",
  };
  EXPECT_EQ(recordLines(), expected);
}

TEST_F(ServerRecord, NullPointersAndOddTextsAreShownNotFollowed) {
  ZQServer_McnCommandWithTC(1, 2, nullptr);
  ZQServer_McnTrackArming(1, nullptr, 7);
  ZQServer_LogicalTrackArming(nullptr, 12);
  ZQServer_SonyCommand(1, nullptr);
  ZQServer_McnCommandWithTC(1, 2, "a\"b\n\xC3");
  const std::string longText(100, '7');
  ZQServer_McnCommandWithTC(1, 2, longText.c_str());
  const auto lines = recordLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "ZQServer_McnCommandWithTC machine=1 command=2 (0x02) time=(null)");
  EXPECT_EQ(lines[1], "ZQServer_McnTrackArming machine=1 count=7 arming=(null)");
  EXPECT_EQ(lines[2], "ZQServer_LogicalTrackArming count=12 arming=(null)");
  EXPECT_EQ(lines[3], "ZQServer_SonyCommand machine=1 message=(null)");
  EXPECT_EQ(lines[4],
            R"(ZQServer_McnCommandWithTC machine=1 command=2 (0x02) time="a\x22b\x0A\xC3")");
  EXPECT_EQ(lines[5], "ZQServer_McnCommandWithTC machine=1 command=2 (0x02) time=\"" +
                          std::string(64, '7') + "\"...");
}

TEST_F(ServerRecord, LogFileGetsTheSameLinesWhenSet) {
  ZQServer_McnCommand(1, 1);  // before the variable is set: record only
  EXPECT_FALSE(std::ifstream(logPath_).is_open());

  setenv("VYOSERVER_LOG", logPath_.c_str(), 1);
  ZQServer_McnCommand(2, 2);
  ZQServer_MacroCommand(65, 0);
  const auto lines = recordLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(fileLines(logPath_), std::vector<std::string>(lines.begin() + 1, lines.end()));

  // Appends, never truncates; clearing the record leaves the file alone.
  ZQServerRecord_Clear();
  ZQServer_McnCommand(3, 3);
  EXPECT_EQ(fileLines(logPath_).size(), 3u);
}

TEST_F(ServerRecord, UnwritableLogStillRecords) {
  setenv("VYOSERVER_LOG", "/nonexistent-dir/vyoserver.log", 1);
  ZQServer_McnCommand(4, 0x10);
  EXPECT_EQ(ZQServerRecord_Count(), 1);
}

TEST_F(ServerRecord, KeepsOnlyTheNewestLines) {
  constexpr int kCalls = 5000;
  for (int i = 0; i < kCalls; ++i) ZQServer_McnCommandWithTCFrms(1, 0, i);
  ASSERT_EQ(ZQServerRecord_Count(), 4096);
  char line[128];
  ZQServerRecord_Line(0, line, sizeof line);
  EXPECT_STREQ(line, "ZQServer_McnCommandWithTCFrms machine=1 command=0 (0x00) frames=904");
  ZQServerRecord_Line(4095, line, sizeof line);
  EXPECT_STREQ(line, "ZQServer_McnCommandWithTCFrms machine=1 command=0 (0x00) frames=4999");
}

TEST_F(ServerRecord, LineReaderCutsToFitAndRefusesMissingLines) {
  ZQServer_McnCommand(1, 0x20);
  const int32_t fullLength = 47;  // "ZQServer_McnCommand machine=1 command=32 (0x20)"
  char small[9];
  EXPECT_EQ(ZQServerRecord_Line(0, small, sizeof small), fullLength);
  EXPECT_STREQ(small, "ZQServer");
  EXPECT_EQ(ZQServerRecord_Line(0, nullptr, 0), fullLength);
  char untouched[4] = {'x', 'x', 'x', 0};
  EXPECT_EQ(ZQServerRecord_Line(0, untouched, 0), fullLength);
  EXPECT_STREQ(untouched, "xxx");
  EXPECT_EQ(ZQServerRecord_Line(1, small, sizeof small), -1);
  EXPECT_EQ(ZQServerRecord_Line(-1, small, sizeof small), -1);
}

TEST_F(ServerRecord, ConcurrentCallersLoseNoLineAndTearNone) {
  setenv("VYOSERVER_LOG", logPath_.c_str(), 1);
  constexpr int kThreads = 4;
  constexpr int kEach = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kEach; ++i) ZQServer_McnCommandWithTCFrms(static_cast<int8_t>(t), 9, i);
    });
  for (auto &thread : threads) thread.join();

  EXPECT_EQ(ZQServerRecord_Count(), kThreads * kEach);
  const auto lines = fileLines(logPath_);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kEach));
  std::vector<int> perThread(kThreads, 0);
  for (const auto &line : lines) {
    int machine = -1;
    int frames = -1;
    ASSERT_EQ(std::sscanf(line.c_str(),
                          "ZQServer_McnCommandWithTCFrms machine=%d command=9 (0x09) frames=%d",
                          &machine, &frames),
              2)
        << line;
    ASSERT_GE(machine, 0);
    ASSERT_LT(machine, kThreads);
    EXPECT_EQ(frames, perThread[machine]++) << "order within one caller";
  }
  EXPECT_EQ(recordLines(), lines);
}

}  // namespace
