// The command table and the decoder: names and fields of every request the machine answers and
// every reply it sends, and the outcomes for unknown and broken input.
#include <gtest/gtest.h>

#include <set>

#include "CommandTable.h"
#include "MessageDecoder.h"
#include "SonyBytes.h"
#include "SonyCommands.h"
#include "sonyname.h"

namespace {

std::string Decoded(std::initializer_list<uint8_t> body) { return DecodeMessage(Framed(body)); }

TEST(CommandTable, EachCodeHasOneEntryAndIsFound) {
  std::set<std::pair<int, int>> seen;
  for (const sony::CommandInfo& info : sony::CommandTable()) {
    EXPECT_TRUE(seen.insert({info.group, info.cmd2}).second) << info.name;
    // The data count in CMD-1 does not change which command it is.
    for (int count : {0, 4, 15}) {
      EXPECT_EQ(sony::FindCommand(sony::Cmd1(info.group, count), info.cmd2), &info) << info.name;
    }
  }
  EXPECT_EQ(sony::FindCommand(0x45, 0x99), nullptr);
  EXPECT_EQ(sony::FindCommand(0x30, 0x00), nullptr);
}

TEST(Decoder, RequestsOfAnEditor) {
  EXPECT_EQ(Decoded({0x00, 0x11}), "DEVICE TYPE REQUEST");
  EXPECT_EQ(Decoded({0x00, 0xB3}), "VERSION REQUEST");
  EXPECT_EQ(Decoded({0x20, 0x00}), "STOP");
  EXPECT_EQ(Decoded({0x20, 0x01}), "PLAY");
  EXPECT_EQ(Decoded({0x20, 0x02}), "RECORD");
  EXPECT_EQ(Decoded({0x20, 0x10}), "FAST FWD");
  EXPECT_EQ(Decoded({0x20, 0x20}), "REWIND");
  EXPECT_EQ(Decoded({0x20, 0x30}), "PREROLL");
  EXPECT_EQ(Decoded({0x20, 0x37}), "CHASE ON");
  EXPECT_EQ(Decoded({0x20, 0x40}), "PREVIEW");
  EXPECT_EQ(Decoded({0x20, 0x41}), "REVIEW");
  EXPECT_EQ(Decoded({0x20, 0x42}), "AUTO EDIT");
  EXPECT_EQ(Decoded({0x20, 0x60}), "FULL EE OFF");
  EXPECT_EQ(Decoded({0x20, 0x61}), "FULL EE ON");
  EXPECT_EQ(Decoded({0x20, 0x64}), "EDIT OFF");
  EXPECT_EQ(Decoded({0x20, 0x65}), "EDIT ON");
  EXPECT_EQ(Decoded({0x40, 0x10}), "IN ENTRY");
  EXPECT_EQ(Decoded({0x40, 0x11}), "OUT ENTRY");
  EXPECT_EQ(Decoded({0x60, 0x0A}), "TC GEN SENSE");
  EXPECT_EQ(Decoded({0x60, 0x10}), "IN DATA SENSE");
  EXPECT_EQ(Decoded({0x60, 0x11}), "OUT DATA SENSE");
  EXPECT_EQ(Decoded({0x60, 0x12}), "AUDIO IN DATA SENSE");
  EXPECT_EQ(Decoded({0x60, 0x13}), "AUDIO OUT DATA SENSE");
  EXPECT_EQ(Decoded({0x60, 0x36}), "TIMER MODE SENSE");
  EXPECT_EQ(Decoded({0x60, 0x81}), "LSM ID REQUEST");
  EXPECT_EQ(Decoded({0x60, 0x82}), "FIRST CLIP NAME");
  EXPECT_EQ(Decoded({0x60, 0x83}), "NEXT CLIP NAME");
  EXPECT_EQ(Decoded({0x60, 0xA5}), "LOAD LSM ID");
  EXPECT_EQ(Decoded({0x80, 0x01}), "TIME AND CHANGES SENSE");
  EXPECT_EQ(Decoded({0xC0, 0x59}), "ARMING STATE SENSE");
}

TEST(Decoder, RequestFields) {
  EXPECT_EQ(Decoded({0x61, 0x0C, 0x01}), "CURRENT TIME SENSE LTC");
  EXPECT_EQ(Decoded({0x61, 0x0C, 0x1E}), "CURRENT TIME SENSE EXTENDED");
  EXPECT_EQ(Decoded({0x61, 0x0C, 0x10}), "CURRENT TIME SENSE select 10");
  EXPECT_EQ(Decoded({0x61, 0x20, 0x0F}), "STATUS SENSE S0-S14");
  EXPECT_EQ(Decoded({0x61, 0x20, 0x21}), "STATUS SENSE S2");
  EXPECT_EQ(Decoded({0x61, 0x20, 0x30}), "STATUS SENSE none");
  EXPECT_EQ(Decoded({0x61, 0x30, 0x0D}), "EDIT PRESET SENSE 13 bytes");
  // Speeds as factors of play speed, from the speed table.
  EXPECT_EQ(Decoded({0x21, 0x12, 0x40}), "VAR FWD x1.00");
  EXPECT_EQ(Decoded({0x21, 0x23, 0x20}), "SHUTTLE REV x0.10");
  EXPECT_EQ(Decoded({0x21, 0x11, 0x00}), "JOG FWD x0.00");
  EXPECT_EQ(Decoded({0x21, 0x22, 0x80}), "VAR REV x100.00");
  EXPECT_EQ(Decoded({0x21, 0x13, 0x69}), "SHUTTLE FWD x19.11");
  EXPECT_EQ(Decoded({0x24, 0x31, 0x00, 0x00, 0x10, 0x01}), "CUE UP WITH DATA 01:10:00:00");
  EXPECT_EQ(Decoded({0x44, 0x14, 0x05, 0x04, 0x03, 0x02}), "IN DATA PRESET 02:03:04:05");
  EXPECT_EQ(Decoded({0x44, 0x31, 0x00, 0x05, 0x00, 0x00}), "PREROLL TIME PRESET 00:00:05:00");
  // Track 30 is bit 5 of track byte 3; insert and A1 in the preset byte.
  EXPECT_EQ(Decoded({0x4D, 0x30, 0x41, 0, 0, 0, 0x20, 0, 0, 0, 0, 0, 0, 0, 0}),
            "EDIT PRESET A1 INS tracks 30");
  EXPECT_EQ(Decoded({0x41, 0x30, 0x00}), "EDIT PRESET no-preset no tracks");
  EXPECT_EQ(Decoded({0x27, 0x82, 'C', 'a', 'm', 'B', '/', '0', '1'}), "CLIP SELECT CamB/01");
  EXPECT_EQ(Decoded({0x64, 0xA2, '1', '0', '1', 'C'}), "ADD CLIP 101C");
  EXPECT_EQ(Decoded({0x60, 0xA0}), "SET CLIP IN at position");
  EXPECT_EQ(Decoded({0x64, 0xA1, 0x24, 0x59, 0x59, 0x23}), "SET CLIP OUT 23:59:59:24");
  EXPECT_EQ(Decoded({0xC5, 0x4A, 0x18, 0x19, 0x00, 0x00, 0x00}),
            "PLAY WITH OPTIONS reverse no-audio offset 25");
  EXPECT_EQ(Decoded({0xC5, 0x4A, 0x10, 0xFF, 0xFF, 0xFF, 0xFF}),
            "PLAY WITH OPTIONS forward no-audio offset -1");
  EXPECT_EQ(Decoded({0xC5, 0x4A, 0x04, 0x00, 0x00, 0x00, 0x01}),
            "PLAY WITH OPTIONS forward no-audio goto 01:00:00:00");
  EXPECT_EQ(Decoded({0xC1, 0x4A, 0x01}), "PLAY WITH OPTIONS forward with-audio");
  EXPECT_EQ(Decoded({0xC1, 0x58, 0x0A}), "SYSTEM KEY key 10");
}

TEST(Decoder, RepliesOfTheMachine) {
  EXPECT_EQ(Decoded({0x10, 0x01}), "ACK");
  EXPECT_EQ(Decoded({0x12, 0xB3, 0x5A, 0x21}), "VERSION DATA 5A 21");
  EXPECT_EQ(Decoded({0x74, 0x04, 0x00, 0x00, 0x00, 0x01}), "LTC TIME DATA 01:00:00:00");
  EXPECT_EQ(Decoded({0x74, 0x1E, 0x01, 0x02, 0x03, 0x04}), "EXTENDED TIME DATA 04:03:02:01");
  EXPECT_EQ(Decoded({0x78, 0x1E, 0x01, 0x02, 0x03, 0x04, 0x01, 0x02, 0x80, 0x00}),
            "EXTENDED TIME DATA 04:03:02:01 01 02 80 00");
  EXPECT_EQ(Decoded({0x74, 0x10, 0x00, 0x00, 0x00, 0x00}), "IN DATA 00:00:00:00");
  EXPECT_EQ(Decoded({0x74, 0x11, 0x00, 0x00, 0x00, 0x00}), "OUT DATA 00:00:00:00");
  EXPECT_EQ(Decoded({0x74, 0x08, 0x00, 0x00, 0x00, 0x00}), "GEN TIME DATA 00:00:00:00");
  EXPECT_EQ(Decoded({0x70, 0x0D}), "NO TIME DATA");
  EXPECT_EQ(Decoded({0x71, 0x36, 0x00}), "TIMER MODE DATA 00");
  EXPECT_EQ(Decoded({0x77, 0x81, 'C', 'a', 'm', 'A', '/', '0', '1'}), "LSM ID CamA/01");
  EXPECT_EQ(Decoded({0x77, 0x82, '1', '0', '1', 'A', '/', '0', 0}), "CLIP NAME 101A/0.");
  EXPECT_EQ(Decoded({0x70, 0x82}), "CLIP NAME end of list");
  EXPECT_EQ(Decoded({0x70, 0x86}), "CLIP NAME 86 end of list");
  EXPECT_EQ(Decoded({0x70, 0x84}), "CLIP DATA 84");
  EXPECT_EQ(Decoded({0x74, 0x91, 0x03, 0x02, 0x01, 0x00}), "CLIP DATA 91 03 02 01 00");
  EXPECT_EQ(Decoded({0x96, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06}),
            "TIME AND CHANGES 00:00:00:00 changes IN OUT");
  EXPECT_EQ(Decoded({0x96, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}),
            "TIME AND CHANGES 00:00:00:00 changes none");
  EXPECT_EQ(Decoded({0xD2, 0x59, 0x41, 0x04}), "ARMING STATE 41 04");
  EXPECT_EQ(Decoded({0x7D, 0x30, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}),
            "EDIT PRESET DATA ASM tracks 96");
}

TEST(Decoder, TimeCodeFlags) {
  // Drop-frame (frames bit 6) shows as ";" and DF, colour frame (frames bit 7) as CF, hours bit 7
  // as "*".
  EXPECT_EQ(Decoded({0x74, 0x04, 0x40 | 0x29, 0x59, 0x59, 0x23}), "LTC TIME DATA 23;59;59;29 DF");
  EXPECT_EQ(Decoded({0x74, 0x04, 0x80 | 0x24, 0x00, 0x00, 0x81}), "LTC TIME DATA 01:00:00:24* CF");
  EXPECT_EQ(Decoded({0x74, 0x06, 0x01, 0x00, 0x00, 0x00}), "VITC TIME DATA 00:00:00:01");
}

TEST(Decoder, StatusBitsAsWords) {
  // The model's status block for tally 1: stop with standby, still and servo lock, S8 bit 3.
  EXPECT_EQ(Decoded({0x7F, 0x20, 0x00, 0xA0, 0x82, 0, 0, 0, 0, 0, 0x08, 0, 0, 0, 0, 0, 0}),
            "STATUS DATA S0-S14: STOP STANDBY STILL SERVO-LOCK S8.3");
  EXPECT_EQ(
      Decoded({0x75, 0x20, 0x01, 0x83, 0x84, 0x03, 0x51}),
      "STATUS DATA S0-S4: LOCAL PLAY RECORD STANDBY REVERSE SERVO-LOCK IN-SET OUT-SET GOTO EDIT "
      "FULL-EE");
  EXPECT_EQ(Decoded({0x72, 0x20, 0x00, 0x00}), "STATUS DATA S0-S1: clear");
  EXPECT_EQ(Decoded({0x70, 0x20}), "STATUS DATA none");
}

TEST(Decoder, StatusRepliesAreNumberedFromTheirRequest) {
  MessageDecoder decoder;
  EXPECT_EQ(decoder.Decode(Framed({0x61, 0x20, 0x21})), "STATUS SENSE S2");
  EXPECT_EQ(decoder.Decode(Framed({0x71, 0x20, 0x81})), "STATUS DATA S2: CUE-UP SERVO-LOCK");
  EXPECT_EQ(decoder.Decode(Framed({0x61, 0x20, 0x72})), "STATUS SENSE S7-S8");
  EXPECT_EQ(decoder.Decode(Framed({0x72, 0x20, 0x10, 0x01})),
            "STATUS DATA S7-S8: CHASE REC-INHIBIT");
}

TEST(Decoder, DeviceTypesByName) {
  EXPECT_EQ(Decoded({0x12, 0x11, 0xF1, 0x1D}), "DEVICE TYPE DA-88 PAL (F1 1D)");
  EXPECT_EQ(Decoded({0x14, 0x11, 0xF1, 0x1A, 0x00, 0xC1}), "DEVICE TYPE MMR-8 PAL (F1 1A 00 C1)");
  EXPECT_EQ(Decoded({0x13, 0x11, 0xD1, 0xE1, 0x10}), "DEVICE TYPE Pro-ToolsP PAL (D1 E1 10)");
  EXPECT_EQ(Decoded({0x12, 0x11, 0xF8, 0x4D}), "DEVICE TYPE $F84D (F8 4D)");
  // NTSC machines are named drop-frame after drop-frame time data.
  MessageDecoder decoder;
  EXPECT_EQ(decoder.Decode(Framed({0x12, 0x11, 0xF0, 0x1D})), "DEVICE TYPE DA-88 NTSC nd (F0 1D)");
  decoder.Decode(Framed({0x74, 0x04, 0x40, 0x00, 0x00, 0x00}));
  EXPECT_EQ(decoder.Decode(Framed({0x12, 0x11, 0xF0, 0x1D})), "DEVICE TYPE DA-88 NTSC d (F0 1D)");
}

TEST(Decoder, NakReasons) {
  EXPECT_EQ(Decoded({0x11, 0x12, 0x01}), "NAK UNKNOWN-COMMAND");
  EXPECT_EQ(Decoded({0x11, 0x12, 0x84}), "NAK CHECKSUM-ERROR TIME-OUT");
  EXPECT_EQ(Decoded({0x11, 0x12, 0x70}), "NAK PARITY-ERROR BUFFER-OVERRUN FRAMING-ERROR");
  EXPECT_EQ(Decoded({0x11, 0x12, 0x0A}), "NAK bit1 bit3");
  EXPECT_EQ(Decoded({0x10, 0x12}), "NAK (short)");
}

TEST(Decoder, UnknownMessagesNeverFail) {
  EXPECT_EQ(Decoded({0x44, 0x99, 0x01, 0x02, 0x03, 0x04}), "unknown 4x 99 01 02 03 04");
  EXPECT_EQ(Decoded({0x50, 0x00}), "unknown 5x 00");
  EXPECT_EQ(Decoded({0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}),
            "unknown Fx FF 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
}

TEST(Decoder, BrokenInputIsMarked) {
  EXPECT_EQ(DecodeMessage(Bytes{0x20, 0x01, 0x22}), "PLAY [bad checksum]");
  EXPECT_EQ(DecodeMessage(Bytes{}), "malformed");
  EXPECT_EQ(DecodeMessage(Bytes{0x20}), "malformed 20 (3 bytes expected)");
  EXPECT_EQ(DecodeMessage(Bytes{0x24, 0x31, 0x00, 0x55}),
            "malformed 24 31 00 55 (7 bytes expected)");
  EXPECT_EQ(DecodeMessage(Bytes{0x20, 0x01, 0x21, 0x00}),
            "malformed 20 01 21 00 (3 bytes expected)");
  // Fields that need data the message does not carry.
  EXPECT_EQ(Decoded({0x20, 0x31}), "CUE UP WITH DATA (short)");
  EXPECT_EQ(Decoded({0x22, 0x31, 0x00, 0x00}), "CUE UP WITH DATA (short)");
  EXPECT_EQ(Decoded({0x20, 0x12}), "VAR FWD (short)");
  EXPECT_EQ(Decoded({0x60, 0x20}), "STATUS SENSE (short)");
  EXPECT_EQ(Decoded({0x11, 0x11, 0xF0}), "DEVICE TYPE (short)");
  EXPECT_EQ(Decoded({0x94, 0x01, 0, 0, 0, 0}), "TIME AND CHANGES 00:00:00:00 (short)");
}

}  // namespace
