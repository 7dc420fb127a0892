// The Advanced Media Protocol commands and their maker's extensions in the decoder, each from the
// code and data layout its maker's manual lists for it.
#include <gtest/gtest.h>

#include "MessageDecoder.h"
#include "SonyBytes.h"

namespace {

std::string Decoded(std::initializer_list<uint8_t> body) { return DecodeMessage(Framed(body)); }

struct Case {
  std::initializer_list<uint8_t> body;
  const char* text;
};

TEST(ExtensionDecoder, AdvancedMediaProtocolCommands) {
  const Case cases[] = {
      {{0xA1, 0x01, 0x02}, "AUTO SKIP clips +2"},
      {{0xA1, 0x01, 0xFE}, "AUTO SKIP clips -2"},
      {{0xA0, 0x15}, "LIST NEXT ID"},
      {{0xA1, 0x15, 0x05}, "LIST NEXT ID 05"},
      {{0x20, 0x29}, "CLEAR PLAYLIST"},
      {{0x41, 0x42, 0x00}, "SET PLAYBACK LOOP no-loop single-clip"},
      {{0x41, 0x42, 0x03}, "SET PLAYBACK LOOP loop timeline"},
      {{0x41, 0x44, 0x00}, "SET STOP MODE off"},
      {{0x41, 0x44, 0x01}, "SET STOP MODE freeze-last-frame"},
      {{0x41, 0x44, 0x02}, "SET STOP MODE freeze-next-clip"},
      {{0x41, 0x44, 0x03}, "SET STOP MODE black"},
      {{0x41, 0x44, 0x07}, "SET STOP MODE mode 07"},
      // Name length 3 "ABC", in 01:00:00:00, out 01:00:10:00 (FFSSMMHH).
      {{0x4D, 0x16, 0x00, 0x03, 'A', 'B', 'C', 0x00, 0x00, 0x00, 0x01, 0x00, 0x10, 0x00, 0x01},
       "APPEND PRESET \"ABC\" in 01:00:00:00 out 01:00:10:00"},
      {{0x43, 0x16, 0x00, 0x09, 'A'}, "APPEND PRESET (short) 00 09 41"},
  };
  for (const Case& c : cases) EXPECT_EQ(Decoded(c.body), c.text);
}

TEST(ExtensionDecoder, MakerExtensions) {
  const Case cases[] = {
      {{0x82, 0x02, 0x80, 0x00}, "BMD SEEK TO TIMELINE POSITION 80 00"},
      {{0x81, 0x03, 0xFF}, "BMD SEEK RELATIVE CLIP clips -1"},
      {{0x81, 0x03, 0x03}, "BMD SEEK RELATIVE CLIP clips +3"},
      {{0x87, 0x04, 0x01, 0x00, 0x00, 0x00, 0x0A, 0x01, 0x00},
       "BMD SCRUB TIMELINE DELTA 01 00 00 00 0A 01 00"},
      {{0x85, 0x05, 0x00, 0x64, 0x00, 0x00, 0x00}, "BMD PLAY 00 64 00 00 00"},
      {{0x80, 0x06}, "BMD CLIP"},
      {{0x80, 0x03}, "BMD SEEK RELATIVE CLIP (short)"},
  };
  for (const Case& c : cases) EXPECT_EQ(Decoded(c.body), c.text);
  // A clip count announced but not sent is a malformed frame, as for every other command.
  EXPECT_EQ(DecodeMessage(std::vector<uint8_t>{0x81, 0x03, 0x84}),
            "malformed 81 03 84 (4 bytes expected)");
}

TEST(ExtensionDecoder, NeighboursStayAsTheyWere) {
  // The family's own 8x 01 and codes no maker lists keep their texts.
  EXPECT_EQ(Decoded({0x80, 0x01}), "TIME AND CHANGES SENSE");
  EXPECT_EQ(Decoded({0x80, 0x07}), "unknown 8x 07");
  EXPECT_EQ(Decoded({0xA0, 0x16}), "unknown Ax 16");
  EXPECT_EQ(Decoded({0x21, 0x29, 0x01}), "CLEAR PLAYLIST 01");
  EXPECT_EQ(Decoded({0x20, 0x29}).find("[bad checksum]"), std::string::npos);
}

}  // namespace
