// Framing a watched byte stream, capture files written and read back, decoded monitor lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "CaptureFile.h"
#include "CaptureSide.h"
#include "DecodedMonitor.h"
#include "EscapedText.h"
#include "SonyBytes.h"
#include "sonyname.h"

namespace {

Micros Ms(int ms) { return Micros(ms * 1000); }

std::vector<std::pair<FrameKind, Bytes>> Kinds(const std::vector<Frame>& frames) {
  std::vector<std::pair<FrameKind, Bytes>> out;
  for (const Frame& f : frames) out.emplace_back(f.kind, f.bytes);
  return out;
}

using KB = std::vector<std::pair<FrameKind, Bytes>>;

TEST(MessageFramer, MessagesWholeAndSplit) {
  MessageFramer framer;
  const Bytes two = Concat({Framed({0x20, 0x01}), Framed({0x61, 0x0C, 0x01})});
  EXPECT_EQ(Kinds(framer.Push(two, Ms(0))), (KB{{FrameKind::Message, Framed({0x20, 0x01})},
                                                {FrameKind::Message, Framed({0x61, 0x0C, 0x01})}}));
  EXPECT_TRUE(framer.Push(Bytes{0x61, 0x0C}, Ms(1)).empty());
  EXPECT_TRUE(framer.Pending());
  const std::vector<Frame> rest = framer.Push(Bytes{0x01, 0x6E}, Ms(2));
  ASSERT_EQ(rest.size(), 1u);
  EXPECT_EQ(rest[0].bytes, Framed({0x61, 0x0C, 0x01}));
  EXPECT_EQ(rest[0].firstByte, Ms(1));
  EXPECT_EQ(rest[0].lastByte, Ms(2));
}

TEST(MessageFramer, BadChecksumAndDebrisAreHandedOutBeforeTheNextMessage) {
  MessageFramer framer;
  // A bad PLAY followed at once by a good one: the bad one is marked, the good one not delayed.
  EXPECT_EQ(
      Kinds(framer.Push(Bytes{0x20, 0x01, 0x22, 0x20, 0x01, 0x21}, Ms(0))),
      (KB{{FrameKind::BadChecksum, {0x20, 0x01, 0x22}}, {FrameKind::Message, {0x20, 0x01, 0x21}}}));
  // Garbage after a failed start: all of it goes out as one piece of debris.
  EXPECT_EQ(Kinds(framer.Push(Bytes{0x20, 0x01, 0x22, 0xFF, 0x10, 0x01, 0x11}, Ms(1))),
            (KB{{FrameKind::Debris, {0x20, 0x01, 0x22, 0xFF}},
                {FrameKind::Message, {0x10, 0x01, 0x11}}}));
}

TEST(MessageFramer, AQuietLineEndsWhatWaits) {
  MessageFramer framer;
  EXPECT_TRUE(framer.Push(Bytes{0x24, 0x31, 0x00}, Ms(0)).empty());
  EXPECT_TRUE(framer.Flush(Ms(19)).empty());
  EXPECT_EQ(Kinds(framer.Flush(Ms(20))), (KB{{FrameKind::Debris, {0x24, 0x31, 0x00}}}));
  EXPECT_FALSE(framer.Pending());
  // Bytes after a gap start afresh even without a flush.
  EXPECT_TRUE(framer.Push(Bytes{0x20}, Ms(100)).empty());
  EXPECT_EQ(Kinds(framer.Push(Framed({0x20, 0x00}), Ms(200))),
            (KB{{FrameKind::Debris, {0x20}}, {FrameKind::Message, {0x20, 0x00, 0x20}}}));
}

TEST(MessageFramer, EveryByteComesOutOnceInOrder) {
  std::mt19937 random(7);
  MessageFramer framer;
  Bytes in, out;
  int messages = 0;
  for (int i = 0; i < 2000; ++i) {
    Bytes chunk;
    if (random() % 3 == 0) {
      for (unsigned n = random() % 5; n > 0; --n) chunk.push_back(static_cast<uint8_t>(random()));
    } else {
      chunk = Framed({static_cast<uint8_t>(0x60 | (random() % 3)), static_cast<uint8_t>(random()),
                      0x01, 0x02});
      chunk.resize(static_cast<std::size_t>((chunk[0] & 0x0F) + 2));
      chunk = WithChecksum(chunk);
    }
    in.insert(in.end(), chunk.begin(), chunk.end());
    for (const Frame& f : framer.Push(chunk, Ms(i))) {
      out.insert(out.end(), f.bytes.begin(), f.bytes.end());
      messages += f.kind == FrameKind::Message;
    }
  }
  for (const Frame& f : framer.Flush(Ms(5000)))
    out.insert(out.end(), f.bytes.begin(), f.bytes.end());
  EXPECT_EQ(out, in);
  EXPECT_GT(messages, 1000);
}

TEST(CaptureFile, WrittenLinesReadBack) {
  std::stringstream file;
  CaptureWriter writer(file);
  Frame request{Framed({0x61, 0x20, 0x21}), FrameKind::Message, Micros(1500000), Micros(1500300)};
  Frame reply{Framed({0x71, 0x20, 0x81}), FrameKind::Message, Micros(1500700), Micros(1501000)};
  Frame bad{{0x20, 0x01, 0x22}, FrameKind::BadChecksum, Micros(2000000), Micros(2000000)};
  Frame debris{{0xFF}, FrameKind::Debris, Micros(3000001), Micros(3000001)};
  const std::vector<std::string> lines = {
      writer.Write("A", Direction::Rx, request), writer.Write("A", Direction::Tx, reply),
      writer.Write("B", Direction::Rx, bad), writer.Write("B", Direction::Tx, debris)};
  EXPECT_EQ(lines[0], "1.500000 A rx msg 61 20 21 A2 | STATUS SENSE S2");
  EXPECT_EQ(lines[1], "1.500700 A tx msg 71 20 81 12 | STATUS DATA S2: CUE-UP SERVO-LOCK");
  EXPECT_EQ(lines[2], "2.000000 B rx bad 20 01 22 | PLAY [bad checksum]");
  EXPECT_EQ(lines[3], "3.000001 B tx debris FF | debris");

  const std::vector<CaptureRecord> records = CaptureReader::Read(file);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].time, Micros(1500000));
  EXPECT_EQ(records[1].bytes, Framed({0x71, 0x20, 0x81}));
  EXPECT_EQ(records[1].direction, Direction::Tx);
  EXPECT_EQ(records[1].text, "STATUS DATA S2: CUE-UP SERVO-LOCK");
  EXPECT_EQ(records[2].port, "B");
  EXPECT_EQ(records[2].kind, FrameKind::BadChecksum);
  EXPECT_EQ(records[3].kind, FrameKind::Debris);
  EXPECT_EQ(records[3].time, Micros(3000001));
  for (std::size_t i = 0; i < records.size(); ++i)
    EXPECT_EQ(FormatCaptureLine(records[i]), lines[i]);
}

TEST(CaptureFile, ReaderRejectsWhatIsNoCapture) {
  std::stringstream notCapture("hello\n");
  EXPECT_THROW(CaptureReader::Read(notCapture), CaptureError);
  const std::pair<const char*, const char*> broken[] = {
      {"1.5 A rx msg 10 01 11 | ACK", "time"},
      {"1.500000 C rx msg 10 01 11 | ACK", "port"},
      {"1.500000 A up msg 10 01 11 | ACK", "direction"},
      {"1.500000 A rx odd 10 01 11 | ACK", "kind"},
      {"1.500000 A rx msg 10 0x1 11 | ACK", "hexadecimal"},
      {"1.500000 A rx msg | ACK", "no bytes"},
      {"1.500000 A rx", "too few"},
  };
  for (const auto& [line, what] : broken) {
    std::stringstream file(std::string(kCaptureVersionLine) + "\n# comment\n\n" + line + "\n");
    try {
      CaptureReader::Read(file);
      ADD_FAILURE() << line;
    } catch (const CaptureError& e) {
      EXPECT_NE(std::string(e.what()).find("line 4"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(what), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(CaptureReader::ReadFile("/nonexistent/capture.txt"), CaptureError);
}

TEST(DecodedMonitor, LinesWithTimesAndReplyTime) {
  DecodedMonitor monitor(Micros(10000000));
  const auto frame = [](Bytes bytes, Micros at, FrameKind kind = FrameKind::Message) {
    return Frame{std::move(bytes), kind, at - Micros(300), at};
  };
  EXPECT_EQ(monitor.Received(frame(Framed({0x61, 0x0C, 0x01}), Micros(22345678))),
            "        12.345678 Rx 61 0C 01 6E  CURRENT TIME SENSE LTC");
  EXPECT_EQ(monitor.Sent(frame(Framed({0x74, 0x04, 0x00, 0x00, 0x00, 0x01}), Micros(0)),
                         Micros(22346012)),
            "        12.346012 Tx 74 04 00 00 00 01 79  LTC TIME DATA 01:00:00:00  read-to-write "
            "0.334 ms");
  // A message sent with no request outstanding has no reply time; debris asks for no reply.
  EXPECT_EQ(monitor.Sent(frame(Framed({0x10, 0x01}), Micros(0)), Micros(22400000)),
            "        12.400000 Tx 10 01 11  ACK");
  EXPECT_EQ(monitor.Received(frame({0xFF}, Micros(22500000), FrameKind::Debris)),
            "        12.500000 Rx FF  debris");
  EXPECT_EQ(monitor.Sent(frame(Framed({0x10, 0x01}), Micros(0)), Micros(22600000)),
            "        12.600000 Tx 10 01 11  ACK");
}

}  // namespace

namespace {

std::string CaptureText(const std::string& body) {
  return std::string(kCaptureVersionLine) + "\n" + body;
}

std::string ReadError(const std::string& content) {
  std::istringstream file(content);
  try {
    CaptureReader::Read(file);
  } catch (const CaptureError& e) {
    return e.what();
  }
  return "(read without error)";
}

TEST(CaptureFile, TimesAreParsedStrictlyAndNameTheLine) {
  const char* const bad[] = {"0..00000",
                             "00000000000000000000",
                             "9300000000000.000000",
                             "1.00000.",
                             "-1.000000",
                             "1.0000000",
                             ".000000",
                             "1,000000",
                             "1.00000a",
                             "+1.000000"};
  for (const char* time : bad) {
    const std::string error = ReadError(CaptureText(
        "0.000000 A rx msg 10 01 11 | ACK\n" + std::string(time) + " A rx msg 10 01 11 | ACK\n"));
    EXPECT_NE(error.find("capture line 3: time"), std::string::npos) << time << ": " << error;
  }
  // The longest time accepted still fits.
  std::istringstream file(CaptureText("999999999999.999999 A rx msg 10 01 11 | ACK\n"));
  EXPECT_EQ(CaptureReader::Read(file).at(0).time, Micros(999999999999999999LL));
}

TEST(CaptureFile, OverlongLinesAndEndlessInputAreRefusedByLine) {
  const std::string longLine = "0.000000 A rx msg " + std::string(100000, 'A') + "\n";
  EXPECT_NE(ReadError(CaptureText("0.000000 A rx msg 10 01 11 | ACK\n" + longLine))
                .find("capture line 3: longer than"),
            std::string::npos);
  // Like /dev/zero read as a stream: refused at the first line, not read to the end.
  EXPECT_NE(ReadError(std::string(kCaptureVersionLine) + "\n" + std::string(50'000'000, '\0'))
                .find("capture line 2: longer than"),
            std::string::npos);
  char folder[] = "/tmp/capture-test-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string fifo = std::string(folder) + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {std::string("/dev/zero"), fifo}) {
    try {
      CaptureReader::ReadFile(path);
      ADD_FAILURE() << path;
    } catch (const CaptureError& e) {
      EXPECT_NE(std::string(e.what()).find("is not a regular file"), std::string::npos) << e.what();
    }
  }
  std::filesystem::remove_all(folder);
}

TEST(CaptureFile, MessagesShowTheFilesBytesEscaped) {
  const std::string error =
      ReadError(CaptureText(std::string("0.000000 \x1B[2J\x07") + '\0' + "tail rx msg 10 | A\n"));
  EXPECT_NE(error.find("port \"\\x1B[2J\\x07\\x00tail\" is not A or B"), std::string::npos)
      << error;
  EXPECT_EQ(error.find('\x1B'), std::string::npos);
  const std::pair<std::string, std::string> table[] = {
      {"plain text ~", "plain text ~"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"back\\slash", "back\\\\slash"},
      {"\n\t\x7F\xC3\xA9", "\\x0A\\x09\\x7F\\xC3\\xA9"},
  };
  for (const auto& [raw, shown] : table) EXPECT_EQ(EscapedText(raw), shown);
}

TEST(CaptureFile, ACutOffLastLineIsSkippedWithAWarning) {
  std::string good;
  for (int i = 0; i < 269; ++i) good += "0.000000 A rx msg 20 01 21 | PLAY\n";
  std::vector<std::string> warnings;
  std::istringstream torn(CaptureText(good + "0.000100 A tx msg 10 0"));
  EXPECT_EQ(CaptureReader::Read(torn, &warnings).size(), 269u);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("capture line 271"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[0].find("cut off"), std::string::npos) << warnings[0];
  // Cut inside the decoded text: the bytes are whole and kept.
  warnings.clear();
  std::istringstream textCut(CaptureText(good + "0.000100 A tx msg 10 01 11 | AC"));
  const std::vector<CaptureRecord> records = CaptureReader::Read(textCut, &warnings);
  ASSERT_EQ(records.size(), 270u);
  EXPECT_EQ(records.back().bytes, (Bytes{0x10, 0x01, 0x11}));
  EXPECT_TRUE(warnings.empty());
  // A session appended after the cut starts on a fresh line with its version line.
  warnings.clear();
  std::istringstream appended(CaptureText(good + "0.000100 A tx msg 10 0\n" + kCaptureVersionLine +
                                          "\n0.000000 A rx msg 10 01 11 |\n"));
  EXPECT_EQ(CaptureReader::Read(appended, &warnings).size(), 270u);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("capture line 271: a session cut off"), std::string::npos);
  // The same broken line with its newline is no accident of the end: it is an error.
  EXPECT_NE(ReadError(CaptureText(good + "0.000100 A tx msg 10 0\n")).find("capture line 271"),
            std::string::npos);
}

}  // namespace

namespace {

// Every capture shown in the README reads back as shown: one record per line after the first.
TEST(CaptureFile, VersionTwoNamesRackMachinesAndSessionsKeepTheirOwnVersion) {
  // A version 1 session, then a rack's session appended to the same file.
  const std::string file = CaptureText(
      "0.000000 A rx msg 20 00 20 | STOP\n" + CaptureVersionLine(2) +
      "\n0.100000 deck-b rx msg 00 11 11 | DEVICE TYPE REQUEST\n"
      "0.100400 deck-b tx msg 12 11 F0 1D 30 | DEVICE TYPE\n0.200000 B tx msg 20 01 21 | PLAY\n");
  std::istringstream in(file);
  const std::vector<CaptureRecord> records = CaptureReader::Read(in);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[1].port, "deck-b");
  EXPECT_EQ(records[2].bytes, (Bytes{0x12, 0x11, 0xF0, 0x1D, 0x30}));
  EXPECT_EQ(records[3].port, "B");
  EXPECT_EQ(CaptureVersionFor(records), 2);
  EXPECT_EQ(CaptureVersionFor({records[0], records[3]}), 1) << "ports A and B stay version 1";
  // Written by a rack's writer, a machine's lines read back under its name.
  std::stringstream written;
  CaptureWriter writer(written, Micros(0), 2);
  writer.Write("vtr35", Direction::Rx,
               Frame{Framed({0x61, 0x0C, 0x01}), FrameKind::Message, Micros(5), Micros(5)});
  EXPECT_EQ(CaptureReader::Read(written).at(0).port, "vtr35");

  EXPECT_NE(ReadError(CaptureText("0.000000 deck-b rx msg 20 00 20 | STOP\n"))
                .find("capture line 2: port \"deck-b\" is not A or B"),
            std::string::npos)
      << "a version 1 session knows ports A and B only";
  EXPECT_NE(ReadError("# selkietest capture 3\n").find("version \"3\" is newer"),
            std::string::npos);
  EXPECT_NE(ReadError(CaptureVersionLine(2) + "\n0.000000 " + std::string(33, 'v') +
                      " rx msg 20 00 20 | STOP\n")
                .find("longer than 32"),
            std::string::npos);
}

TEST(CaptureSide, AMachineIsTakenByNameOrWhenItIsTheOnlyOne) {
  const auto record = [](const std::string& port) {
    CaptureRecord r;
    r.port = port;
    return r;
  };
  const std::vector<CaptureRecord> rack = {record("vtr1"), record("deck-b"), record("vtr1")};
  EXPECT_EQ(CapturePort(rack, "deck-b", "A"), "deck-b");
  EXPECT_EQ(CapturePort({record("vtr1")}, "", "A"), "vtr1");
  EXPECT_EQ(CapturePort({record("B"), record("vtr1")}, "", "B"), "B") << "ports first, as before";
  EXPECT_EQ(CapturePort({}, "", "A"), "A");
  const auto error = [](const std::vector<CaptureRecord>& records, const std::string& from) {
    try {
      CapturePort(records, from, "A");
    } catch (const CaptureError& e) {
      return std::string(e.what());
    }
    return std::string("(no error)");
  };
  EXPECT_EQ(error(rack, ""),
            "the capture holds the machines vtr1, deck-b: choose one with --from NAME");
  EXPECT_EQ(error(rack, "A"), "the capture holds no port or machine \"A\" (it holds vtr1, deck-b)");
  EXPECT_EQ(RequestsOf("B"), Direction::Tx);
  EXPECT_EQ(RequestsOf("deck-b"), Direction::Rx);
}

TEST(CaptureFile, TheReadmesCapturesReadAsWritten) {
  std::ifstream readme(SELKIE_README);
  const std::string text(std::istreambuf_iterator<char>(readme), {});
  const std::string opening = "```\n" + std::string(kCaptureVersionLine) + "\n";
  int blocks = 0;
  for (auto at = text.find(opening); at != std::string::npos; at = text.find(opening, at + 1)) {
    const std::size_t begin = at + 4;
    const std::string block = text.substr(begin, text.find("```", begin) - begin);
    std::istringstream in(block);
    std::vector<std::string> warnings;
    const std::vector<CaptureRecord> records = CaptureReader::Read(in, &warnings);
    EXPECT_EQ(records.size(),
              static_cast<std::size_t>(std::count(block.begin(), block.end(), '\n') - 1));
    EXPECT_TRUE(warnings.empty());
    for (const CaptureRecord& r : records) EXPECT_FALSE(r.text.empty());
    ++blocks;
  }
  EXPECT_EQ(blocks, 2);
}

}  // namespace
