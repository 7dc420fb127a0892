// The library's answers where callers may hand it anything: odd texts, skipped drop-frame labels,
// counts outside the day, flagged or broken Sony bytes, unknown standard codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "TimeCodeTestText.h"
#include "ZQTimeCodeDll.h"

namespace {

constexpr int64_t kEbuDay = 2160000;
constexpr int64_t kDropDay = 2589408;

int32_t framesOf(const std::string &text, uint8_t standard) {
  return str2frms(lengthPrefixed(text).data(), standard);
}

std::string textOfFrames(int32_t frames, uint8_t standard) {
  uint8_t out[256];
  frms2str(out, frames, standard);
  return textOf(out);
}

std::string stepped(void (*step)(uint8_t *, const uint8_t *, uint8_t), const std::string &text,
                    uint8_t standard) {
  uint8_t out[256];
  step(out, lengthPrefixed(text).data(), standard);
  return textOf(out);
}

int64_t inDay(int64_t frames, int64_t day) { return ((frames % day) + day) % day; }

TEST(TimeCodeText, AcceptsEachLastSeparatorAndSurroundingBlanks) {
  const int32_t expected = ((1 * 60 + 2) * 60 + 3) * 25 + 4;
  for (const char *text : {"01:02:03:04", "01:02:03;04", "01:02:03.04", "01:02:03,04",
                           " 01:02:03:04", "01:02:03:04\r\n", "\t01:02:03:04 "})
    EXPECT_EQ(framesOf(text, 0), expected) << text;
}

TEST(TimeCodeText, TextThatIsNotATimeCodeGivesZero) {
  for (const char *text : {"", "01:02:03", "01;02:03:04", "01:02.03:04", "01:02:03-04",
                           "1:02:03:04", "01:02:03:004", "01:02:03:04:05", "0a:02:03:04",
                           "01:02:03:0_", "__:__:__:__", "01 02 03 04", "01:02 :03:04"})
    EXPECT_EQ(framesOf(text, 1), 0) << '"' << text << '"';
  EXPECT_EQ(str2frms(nullptr, 0), 0);
}

TEST(TimeCodeText, FieldOutOfRangeGivesZero) {
  EXPECT_EQ(framesOf("24:00:00:00", 0), 0);
  EXPECT_EQ(framesOf("00:60:00:00", 0), 0);
  EXPECT_EQ(framesOf("00:00:60:00", 0), 0);
  EXPECT_EQ(framesOf("00:00:00:25", 0), 0);
  EXPECT_EQ(framesOf("00:00:00:24", 2), 0);
  EXPECT_EQ(framesOf("00:00:00:30", 3), 0);
  // The same frames field is fine where the rate allows it.
  EXPECT_EQ(framesOf("00:00:00:25", 1), 25);
  EXPECT_EQ(framesOf("23:59:59:23", 2), 2073599);
}

TEST(TimeCodeText, LengthByteIsTheEndOfTheText) {
  // The buffers hold exactly what the length byte says; a longer read trips AddressSanitizer.
  EXPECT_EQ(framesOf("01:02", 0), 0);
  const auto empty = lengthPrefixed("");
  EXPECT_EQ(str2frms(empty.data(), 0), 0);

  // A valid time code after the length is not part of the text.
  auto cut = lengthPrefixed("01:02:03:04");
  cut[0] = 8;
  EXPECT_EQ(str2frms(cut.data(), 0), 0);
  uint8_t out[256];
  inctcstr(out, cut.data(), 0);
  EXPECT_EQ(textOf(out), "00:00:00:01");
}

TEST(TimeCodeText, OutputHasColonsInEveryStandardAndEndsWithAZeroByte) {
  uint8_t out[256];
  std::fill(std::begin(out), std::end(out), 0xEE);
  frms2str(out, 1800, 3);
  EXPECT_EQ(out[0], 11);
  EXPECT_STREQ(reinterpret_cast<const char *>(out + 1), "00:01:00:02");
  EXPECT_EQ(out[13], 0xEE);
}

TEST(DropFrameLabels, SkippedLabelsMoveForwardToFrameTwo) {
  for (const char *skipped : {"00:01:00:00", "00:01:00:01"})
    EXPECT_EQ(framesOf(skipped, 3), 1800) << skipped;
  EXPECT_EQ(framesOf("23:59:00:00", 3), framesOf("23:59:00:02", 3));
  // Minutes divisible by ten keep frames 00 and 01; other seconds are never skipped.
  EXPECT_EQ(framesOf("00:10:00:00", 3), 17982);
  EXPECT_EQ(framesOf("00:10:00:01", 3), 17983);
  EXPECT_EQ(framesOf("00:01:01:00", 3), 1828);
  // Without drop-frame the same labels exist as they are.
  EXPECT_EQ(framesOf("00:01:00:00", 1), 1800);
  EXPECT_EQ(framesOf("00:01:00:01", 1), 1801);
}

TEST(DropFrameLabels, SonyBytesOfASkippedLabelMoveForward) {
  const uint8_t message[] = {0x74, 0x04, 0x40, 0x00, 0x01, 0x00, 0x41, 0x00, 0x01, 0x00};
  EXPECT_EQ(Sony2frms(message, 2, 3), 1800);
  EXPECT_EQ(Sony2frms(message, 6, 3), 1800);
}

TEST(DropFrameLabels, StepsFromASkippedLabelStartAtFrameTwo) {
  EXPECT_EQ(stepped(inctcstr, "00:01:00:00", 3), "00:01:00:03");
  EXPECT_EQ(stepped(dectcstr, "00:01:00:01", 3), "00:00:59:29");
  EXPECT_EQ(stepped(inctcstr, "00:00:59:29", 3), "00:01:00:02");
  EXPECT_EQ(stepped(dectcstr, "00:01:00:02", 3), "00:00:59:29");
}

TEST(DayWrap, StepsWrapAtMidnight) {
  EXPECT_EQ(stepped(inctcstr, "23:59:59:24", 0), "00:00:00:00");
  EXPECT_EQ(stepped(inctcstr, "23:59:59:29", 3), "00:00:00:00");
  EXPECT_EQ(stepped(dectcstr, "00:00:00:00", 0), "23:59:59:24");
  EXPECT_EQ(stepped(dectcstr, "00:00:00:00", 1), "23:59:59:29");
  EXPECT_EQ(stepped(dectcstr, "00:00:00:00", 2), "23:59:59:23");
  EXPECT_EQ(stepped(dectcstr, "00:00:00:00", 3), "23:59:59:29");
  // Malformed input counts as 00:00:00:00.
  EXPECT_EQ(stepped(dectcstr, "garbage", 0), "23:59:59:24");
  uint8_t out[256];
  inctcstr(out, nullptr, 0);
  EXPECT_EQ(textOf(out), "00:00:00:01");
}

TEST(DayWrap, CountsOutsideTheDayAreReducedIntoIt) {
  EXPECT_EQ(textOfFrames(-1, 0), "23:59:59:24");
  EXPECT_EQ(textOfFrames(-1, 3), "23:59:59:29");
  EXPECT_EQ(textOfFrames(static_cast<int32_t>(kEbuDay), 0), "00:00:00:00");
  for (const int32_t extreme : {INT32_MIN, INT32_MIN + 1, INT32_MAX, -2160001}) {
    SCOPED_TRACE(extreme);
    const std::string ebu = textOfFrames(extreme, 0);
    EXPECT_EQ(framesOf(ebu, 0), inDay(extreme, kEbuDay));
    const std::string drop = textOfFrames(extreme, 3);
    EXPECT_EQ(framesOf(drop, 3), inDay(extreme, kDropDay));
    uint8_t sony[4];
    frms2Sony(extreme, 3, 0, sony);
    EXPECT_EQ(Sony2frms(sony, 0, 3), inDay(extreme, kDropDay));
  }
}

TEST(DayWrap, AddAndSubtractNeverOverflow) {
  EXPECT_EQ(addfrms(INT32_MAX, INT32_MAX, 0), inDay(2 * inDay(INT32_MAX, kEbuDay), kEbuDay));
  EXPECT_EQ(subfrms(INT32_MIN, INT32_MAX, 3),
            inDay(inDay(INT32_MIN, kDropDay) - inDay(INT32_MAX, kDropDay), kDropDay));
  EXPECT_EQ(addfrms(-1, 0, 0), kEbuDay - 1);
  EXPECT_EQ(subfrms(0, -1, 0), 1);
  EXPECT_EQ(subfrms(0, 25, 3), kDropDay - 25);
}

TEST(SonyBytes, FlagBitsAreMaskedAway) {
  // 01:02:03:04 with the drop-frame bit on frames, bit 7 on hours, seconds and minutes.
  const uint8_t flagged[] = {0x44, 0x83, 0x82, 0x81};
  const uint8_t plain[] = {0x04, 0x03, 0x02, 0x01};
  EXPECT_EQ(Sony2frms(flagged, 0, 0), Sony2frms(plain, 0, 0));
  EXPECT_EQ(Sony2frms(plain, 0, 0), ((1 * 60 + 2) * 60 + 3) * 25 + 4);
}

TEST(SonyBytes, NibbleAboveNineOrFieldOutOfRangeGivesZero) {
  const uint8_t badNibble[] = {0x0A, 0x03, 0x02, 0x01};
  const uint8_t badTens[] = {0x04, 0x03, 0x02, 0x3A};
  const uint8_t hours24[] = {0x00, 0x00, 0x00, 0x24};
  const uint8_t frames25[] = {0x25, 0x00, 0x00, 0x00};
  const uint8_t seconds60[] = {0x00, 0x60, 0x00, 0x00};
  for (const uint8_t *bytes : {badNibble, badTens, hours24, frames25, seconds60})
    EXPECT_EQ(Sony2frms(bytes, 0, 0), 0);
  EXPECT_EQ(Sony2frms(frames25, 0, 1), 25);
  EXPECT_EQ(Sony2frms(nullptr, 2, 0), 0);
  // A negative index is refused, not followed back in front of the buffer.
  const uint8_t five[] = {0x05, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(Sony2frms(five + 1, -1, 0), 0);
}

TEST(SonyBytes, WritesFourBytesAtTheIndexWithTheDropFlagOnlyForStandardThree) {
  uint8_t buffer[8] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
  frms2Sony(1800, 3, 2, buffer);
  const uint8_t dropExpected[8] = {0xAA, 0xAA, 0x42, 0x00, 0x01, 0x00, 0xAA, 0xAA};
  EXPECT_EQ(0, std::memcmp(buffer, dropExpected, 8));
  for (uint8_t standard : {0, 1, 2}) {
    frms2Sony(-1, standard, 2, buffer);
    EXPECT_EQ(buffer[2] & 0x40, 0) << int{standard};
    EXPECT_EQ(buffer[5], 0x23);
  }
  frms2Sony(5, 0, -1, buffer);
  frms2Sony(5, 0, 0, nullptr);
  EXPECT_EQ(buffer[0], 0xAA);
}

TEST(SonyBytes, TextToSonyBytes) {
  uint8_t buffer[6] = {};
  string2p2(lengthPrefixed("01:02:03;04").data(), buffer, 2, 3);
  const uint8_t expected[6] = {0, 0, 0x44, 0x03, 0x02, 0x01};
  EXPECT_EQ(0, std::memcmp(buffer, expected, 6));
  string2p2(lengthPrefixed("00:01:00:00").data(), buffer, 2, 3);
  EXPECT_EQ(buffer[2], 0x42);
  string2p2(lengthPrefixed("not a time").data(), buffer, 2, 0);
  const uint8_t zero[6] = {0, 0, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(buffer, zero, 6));
}

TEST(Standards, RatesAndPackedLabels) {
  EXPECT_EQ(frmspersec(0), 25);
  EXPECT_EQ(frmspersec(1), 30);
  EXPECT_EQ(frmspersec(2), 24);
  EXPECT_EQ(frmspersec(3), 30);
  EXPECT_EQ(frms2hmsfCard(framesOf("01:02:03:04", 0), 0), 0x01020304u);
  EXPECT_EQ(frms2hmsfCard(framesOf("23:59:59:23", 2), 2), 0x173B3B17u);
  EXPECT_EQ(frms2hmsfCard(1800, 3), 0x00010002u);
  EXPECT_EQ(frms2hmsfCard(-1, 0), 0x173B3B18u);
}

TEST(Standards, UnknownCodesBehaveAsEbu) {
  for (const uint8_t code : {4, 9, 255}) {
    SCOPED_TRACE(int{code});
    EXPECT_EQ(frmspersec(code), 25);
    EXPECT_EQ(framesOf("00:00:01:24", code), 49);
    EXPECT_EQ(framesOf("00:00:00:25", code), 0);
    EXPECT_EQ(textOfFrames(-1, code), "23:59:59:24");
    EXPECT_EQ(addfrms(2159999, 1, code), 0);
    EXPECT_EQ(frms2hmsfCard(49, code), 0x00000118u);
    uint8_t sony[4];
    frms2Sony(0, code, 0, sony);
    EXPECT_EQ(sony[0], 0x00);
  }
}

}  // namespace
