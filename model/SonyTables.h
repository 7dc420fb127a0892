// Constant tables of the Sony front end: the status bytes S1 and S2 of each tally state, and the
// server speed (0..127) of each Sony speed byte.
#pragma once

#include <array>
#include <cstdint>

namespace vyo {

struct TallyBytes {
  uint8_t s1;
  uint8_t s2;
};

// Index tally - 1 for the tally states 1..16.
constexpr std::array<TallyBytes, 16> kTallyTable = {{
    {0xA0, 0x02},
    {0x80, 0x12},
    {0x81, 0x00},
    {0x80, 0xC0},
    {0x80, 0x20},
    {0x80, 0x24},
    {0x80, 0x10},
    {0x80, 0x14},
    {0x04, 0x00},
    {0x08, 0x04},
    {0x80, 0x20},
    {0x80, 0x24},
    {0x80, 0x08},
    {0x80, 0x0C},
    {0xA0, 0x00},
    {0x80, 0x00},
}};

namespace detail {

struct SpeedRun {
  uint8_t count;
  uint8_t speed;
};

// Speeds of the Sony speed bytes 0..122 as runs of equal values; bytes 123..255 are all 127.
constexpr SpeedRun kSpeedRuns[] = {
    {1, 0},  {24, 1}, {7, 2},   {5, 3},   {4, 4},   {2, 5},   {3, 6},  {2, 7},  {2, 8},  {1, 9},
    {1, 10}, {2, 11}, {1, 12},  {1, 13},  {1, 14},  {1, 15},  {1, 16}, {1, 17}, {1, 19}, {1, 20},
    {1, 22}, {1, 23}, {1, 25},  {1, 27},  {1, 29},  {1, 31},  {1, 33}, {1, 36}, {1, 38}, {1, 41},
    {1, 44}, {1, 48}, {6, 50},  {3, 51},  {3, 52},  {3, 53},  {2, 54}, {2, 55}, {2, 56}, {1, 57},
    {2, 58}, {1, 59}, {1, 60},  {1, 61},  {1, 62},  {1, 63},  {1, 64}, {1, 65}, {1, 67}, {1, 68},
    {1, 70}, {1, 72}, {1, 74},  {1, 75},  {1, 77},  {1, 80},  {1, 82}, {1, 84}, {1, 87}, {1, 90},
    {1, 93}, {1, 97}, {1, 100}, {1, 104}, {1, 108}, {1, 117},
};
constexpr int kListedSpeeds = 123;

constexpr std::array<uint8_t, 256> MakeSpeedTable() {
  std::array<uint8_t, 256> table{};
  int at = 0;
  for (const SpeedRun& run : kSpeedRuns) {
    for (int i = 0; i < run.count; ++i) table[std::size_t(at++)] = run.speed;
  }
  // A run list of the wrong length makes this constant expression fail to compile.
  if (at != kListedSpeeds) throw "speed runs must cover the bytes 0..122";
  for (; at < 256; ++at) table[std::size_t(at)] = 127;
  return table;
}

}  // namespace detail

constexpr std::array<uint8_t, 256> kSpeedTable = detail::MakeSpeedTable();

}  // namespace vyo
