#include <gtest/gtest.h>

#include "sonyname.h"

namespace {

SonyMessage Reply(std::initializer_list<uint8_t> data) {
  SonyMessage m;
  m[0] = static_cast<uint8_t>(0x10 | data.size());
  m[1] = 0x11;
  int i = 2;
  for (uint8_t b : data) m[static_cast<std::size_t>(i++)] = b;
  return m;
}

std::string Name(std::initializer_list<uint8_t> data, bool dropFrame = false) {
  return DeviceTypeName(Reply(data), dropFrame);
}

TEST(DeviceName, KnownMachinesWithStandardSuffix) {
  EXPECT_EQ(Name({0x21, 0x25}), "BVW-75 PAL");
  EXPECT_EQ(Name({0xF0, 0x1D}), "DA-88 NTSC nd");
  EXPECT_EQ(Name({0xF0, 0x1D}, true), "DA-88 NTSC d");
  EXPECT_EQ(Name({0x22, 0x25}), "BVW-75 Film");
  EXPECT_EQ(Name({0x20, 0x25}, true), "BVW-75 NTSC d");
  EXPECT_EQ(Name({0x23, 0x25}), "BVW-75");
  EXPECT_EQ(Name({0x2F, 0x25}), "BVW-75");
}

TEST(DeviceName, OneNamePerGroup) {
  EXPECT_EQ(Name({0x01, 0xB2}), "ZQ V.Mcn PAL");
  EXPECT_EQ(Name({0x11, 0x1C}), "BVU-950 PAL");
  EXPECT_EQ(Name({0x23, 0xF9}), "HDV-500");
  EXPECT_EQ(Name({0x33, 0xE0}), "BONSAI");
  EXPECT_EQ(Name({0x43, 0x23}), "DVR-P20");
  EXPECT_EQ(Name({0x53, 0x33}), "AJD-750");
  EXPECT_EQ(Name({0x63, 0x07}), "PCM-3348HR");
  EXPECT_EQ(Name({0x73, 0xE7}), "M20-64");
  EXPECT_EQ(Name({0x83, 0x12}), "DSR-60");
  EXPECT_EQ(Name({0x93, 0x10}), "HDDF-500");
  EXPECT_EQ(Name({0xA3, 0x11}), "LVA=3/4000");
  EXPECT_EQ(Name({0xB3, 0x70}), "J30-SDI");
  EXPECT_EQ(Name({0xD3, 0xE1}), "Pro-Tools");
  EXPECT_EQ(Name({0xD3, 0xC2}), "Genex GX8016/OMX 24");
  EXPECT_EQ(Name({0xD3, 0x01}), "VMOD-100/DME-9000");
  EXPECT_EQ(Name({0xE3, 0x20}), "X-Dubber");
  EXPECT_EQ(Name({0xF3, 0x00}), "CR-850/BCN-50");
  EXPECT_EQ(Name({0xF3, 0xE0}), "MOSAIC");
  EXPECT_EQ(Name({0xF3, 0x30}), "Panosonic D-5");
}

TEST(DeviceName, FallbackUsesWholeFirstByte) {
  EXPECT_EQ(Name({0xC0, 0x00}), "$C000 NTSC nd");
  EXPECT_EQ(Name({0xC5, 0x10}), "$C510");
  EXPECT_EQ(Name({0xD3, 0x77}), "$D377");
  EXPECT_EQ(Name({0xF8, 0x4D}), "$F84D");
  EXPECT_EQ(Name({0x01, 0x02}), "$0102 PAL");  // gap inside a group
}

TEST(DeviceName, ThirdByteAppendsALetter) {
  EXPECT_EQ(Name({0xF1, 0x1D, 0x02}), "DA-88B PAL");
  EXPECT_EQ(Name({0xF1, 0x1D, 0x01}), "DA-88A PAL");
  EXPECT_EQ(Name({0xF3, 0x1D, 0x10}), "DA-88P");
  EXPECT_EQ(Name({0xF3, 0x1D, 0x00}), "DA-88@");
  EXPECT_EQ(Name({0xC3, 0x00, 0xC0}), std::string("$C300") + static_cast<char>(0x00));
}

TEST(DeviceName, TascamFamilyDecidedByFourthByte) {
  EXPECT_EQ(Name({0xF1, 0x1A, 0x00, 0xC1}), "MMR-8 PAL");
  EXPECT_EQ(Name({0xF1, 0x1A, 0x00, 0xC2}), "MRP-16 PAL");
  EXPECT_EQ(Name({0xF0, 0x1A, 0x00, 0xC4}), "MX2424 NTSC nd");
  EXPECT_EQ(Name({0xF0, 0x1A, 0x00, 0xC3}), "Tascam NTSC nd");
  EXPECT_EQ(Name({0xF0, 0x1A}), "Tascam NTSC nd");
  EXPECT_EQ(Name({0xF3, 0x1A, 0x01}), "TascamA");
}

TEST(DeviceName, DeviceTypeTextUsesPortDropFrame) {
  SonyPort port;
  port.Rx = Reply({0xF0, 0x1D});
  port.DropFrame = true;
  EXPECT_EQ(DeviceTypeText(port), "DA-88 NTSC d");
}

}  // namespace
