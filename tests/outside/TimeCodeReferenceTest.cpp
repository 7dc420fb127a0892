// The library against the reference tables (read at run time) and against whole-day sweeps.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <sstream>

#include "TimeCodeTestText.h"
#include "ZQTimeCodeDll.h"

namespace {

std::vector<std::vector<std::string>> readTable(const std::string &name) {
  std::ifstream file(std::string(SELKIE_TESTDATA_DIR) + "/" + name);
  EXPECT_TRUE(file.is_open()) << name;
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    rows.push_back(fields);
  }
  return rows;
}

uint8_t bcdOfDigits(const std::string &label, std::size_t at) {
  return static_cast<uint8_t>((label[at] - '0') << 4 | (label[at + 1] - '0'));
}

constexpr std::array<int32_t, 4> kDayLength = {2160000, 2592000, 2073600, 2589408};

TEST(TimeCodeReference, EveryVectorRowHoldsBothWays) {
  const auto rows = readTable("timecode_vectors.tsv");
  ASSERT_GT(rows.size(), 100u);
  for (const auto &row : rows) {
    ASSERT_EQ(row.size(), 3u);
    const auto standard = static_cast<uint8_t>(std::stoi(row[0]));
    const int32_t frames = std::stoi(row[1]);
    const std::string &label = row[2];
    SCOPED_TRACE(row[0] + " " + row[1] + " " + label);

    EXPECT_EQ(str2frms(lengthPrefixed(label).data(), standard), frames);
    uint8_t out[256] = {};
    frms2str(out, frames, standard);
    EXPECT_EQ(textOf(out), label);

    // The Sony bytes are the label's digits in BCD, frames first.
    uint8_t sony[4] = {};
    frms2Sony(frames, standard, 0, sony);
    const uint8_t dropFlag = standard == 3 ? 0x40 : 0x00;
    EXPECT_EQ(sony[0], bcdOfDigits(label, 9) | dropFlag);
    EXPECT_EQ(sony[1], bcdOfDigits(label, 6));
    EXPECT_EQ(sony[2], bcdOfDigits(label, 3));
    EXPECT_EQ(sony[3], bcdOfDigits(label, 0));
    EXPECT_EQ(Sony2frms(sony, 0, standard), frames);
  }
}

TEST(TimeCodeReference, EveryArithmeticRowHolds) {
  const auto rows = readTable("timecode_arith.tsv");
  ASSERT_GT(rows.size(), 50u);
  for (const auto &row : rows) {
    ASSERT_EQ(row.size(), 5u);
    SCOPED_TRACE(row[0] + " " + row[1] + " " + row[2] + " " + row[3]);
    const auto standard = static_cast<uint8_t>(std::stoi(row[1]));
    const int32_t a = std::stoi(row[2]);
    const int32_t b = std::stoi(row[3]);
    const int32_t expected = std::stoi(row[4]);
    ASSERT_TRUE(row[0] == "addfrms" || row[0] == "subfrms");
    EXPECT_EQ(row[0] == "addfrms" ? addfrms(a, b, standard) : subfrms(a, b, standard), expected);
  }
}

// Every frame of every day: text and Sony bytes convert back to the same count, labels rise
// strictly through the day, and no skipped drop-frame label is ever produced.
bool isSkippedDropLabel(const uint8_t *out) {
  // "HH:MM:SS:FF" at out + 1: second 00, frame 00 or 01, minute units not 0.
  return out[7] == '0' && out[8] == '0' && out[10] == '0' && out[11] < '2' && out[5] != '0';
}

TEST(TimeCodeReference, WholeDayRoundTripsInEveryStandard) {
  for (uint8_t standard = 0; standard < 4; ++standard) {
    SCOPED_TRACE(int{standard});
    uint8_t out[256] = {};
    uint8_t previous[256] = {};
    uint8_t sony[4];
    int failures = 0;
    for (int32_t frames = 0; frames < kDayLength[standard] && failures < 5; ++frames) {
      frms2str(out, frames, standard);
      frms2Sony(frames, standard, 0, sony);
      const bool rises = frames == 0 || std::memcmp(out + 1, previous + 1, 11) > 0;
      const bool ok = str2frms(out, standard) == frames && Sony2frms(sony, 0, standard) == frames &&
                      out[0] == 11 && rises && !(standard == 3 && isSkippedDropLabel(out));
      if (!ok) {
        ADD_FAILURE() << "frame " << frames << " label " << textOf(out);
        ++failures;
      }
      std::memcpy(previous, out, 12);
    }
    EXPECT_EQ(textOf(previous), standard == 0   ? "23:59:59:24"
                                : standard == 2 ? "23:59:59:23"
                                                : "23:59:59:29");
  }
}

}  // namespace
