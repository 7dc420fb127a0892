// Traffic of headless runs, in process: a capture file written while an editor talks to the
// virtual machine reads back whole, and a bridge between an editor and a second virtual machine
// passes every reply through unchanged, in order, with the capture showing all four directions.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "CaptureFile.h"
#include "ExchangeScript.h"
#include "HeadlessPrinter.h"
#include "TempDir.h"

namespace {

// A headless run printing into a string on a thread of its own until the test ends it.
class HeadlessRun {
 public:
  explicit HeadlessRun(const ProgramOptions& options) : printer_(options, out_, out_) {
    printer_.Start();
    thread_ = std::thread([this] { printer_.Run(stop_); });
  }
  ~HeadlessRun() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::string Output() const { return out_.str(); }

 private:
  std::ostringstream out_;
  HeadlessPrinter printer_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

ProgramOptions Headless(const std::string& portA) {
  ProgramOptions options;
  options.headless = true;
  options.portA = portA;
  return options;
}

std::vector<CaptureRecord> Records(const std::vector<CaptureRecord>& all, char port,
                                   Direction direction) {
  std::vector<CaptureRecord> picked;
  for (const CaptureRecord& record : all)
    if (record.port == std::string(1, port) && record.direction == direction)
      picked.push_back(record);
  return picked;
}

std::vector<std::vector<uint8_t>> BytesOf(const std::vector<CaptureRecord>& records) {
  std::vector<std::vector<uint8_t>> bytes;
  for (const CaptureRecord& record : records) bytes.push_back(record.bytes);
  return bytes;
}

}  // namespace

TEST(TrafficTest, CaptureOfAHeadlessRunReadsBackWithBothDirectionsAndABadChecksumMarked) {
  TempDir dir;
  const std::string link = (dir.path() / "vm").string();
  const std::string capture = (dir.path() / "capture.txt").string();
  ProgramOptions options = Headless("pty:" + link);
  options.capture = capture;
  options.log = options.logDecoded = true;
  const std::vector<uint8_t> request = Framed({0x61, 0x0C, 0x01});
  std::vector<uint8_t> badChecksum = Framed({0x20, 0x01});
  badChecksum.back() ^= 0x55;
  std::vector<uint8_t> reply;
  HeadlessRun run(options);
  {
    PtyEditor editor(link);
    ASSERT_TRUE(editor.IsOpen());
    reply = editor.Request(request);
    editor.Send(badChecksum);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    editor.Send({0xFF});  // announces 15 data bytes that never come
    // Past the quiet gap, so the framer hands the bytes out before the run ends.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  run.Stop();
  ASSERT_FALSE(reply.empty());

  std::ifstream in(capture);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, kCaptureVersionLine);
  const std::vector<CaptureRecord> records = CaptureReader::ReadFile(capture);
  const std::vector<CaptureRecord> rx = Records(records, 'A', Direction::Rx);
  const std::vector<CaptureRecord> tx = Records(records, 'A', Direction::Tx);
  ASSERT_EQ(rx.size(), 3u);
  EXPECT_EQ(rx[0].bytes, request);
  EXPECT_EQ(rx[0].kind, FrameKind::Message);
  EXPECT_EQ(rx[1].bytes, badChecksum);
  EXPECT_EQ(rx[1].kind, FrameKind::BadChecksum);
  EXPECT_EQ(rx[2].bytes, std::vector<uint8_t>{0xFF});
  EXPECT_EQ(rx[2].kind, FrameKind::Debris);
  ASSERT_FALSE(tx.empty());
  EXPECT_EQ(tx[0].bytes, reply);
  EXPECT_LE(rx[0].time, tx[0].time);

  const std::string printed = run.Output();
  EXPECT_NE(printed.find("A "), std::string::npos) << printed;
  EXPECT_NE(printed.find("read-to-write "), std::string::npos) << printed;
  EXPECT_EQ(printed.find("Rx:"), std::string::npos) << printed;  // the decoded lines replace them
}

TEST(TrafficTest, CaptureToAFolderThatDoesNotExistEndsTheRunWithAMessage) {
  TempDir dir;
  ProgramOptions options = Headless("pty:" + (dir.path() / "vm").string());
  options.capture = (dir.path() / "no" / "such" / "capture.txt").string();
  std::ostringstream sink;
  HeadlessPrinter printer(options, sink, sink);
  try {
    printer.Start();
    FAIL() << "the run started";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find("capture.txt"), std::string::npos) << e.what();
  }
}

TEST(TrafficTest, BridgePassesEveryReplyOfASecondMachineThroughUnchangedAndInOrder) {
  TempDir dir;
  const std::string direct = (dir.path() / "direct").string();
  std::vector<std::vector<uint8_t>> expected;
  {
    // Recording everything here and nothing behind the bridge: the replies must not differ.
    ProgramOptions recorded = Headless("pty:" + direct);
    recorded.capture = (dir.path() / "direct.txt").string();
    recorded.log = recorded.logDecoded = true;
    HeadlessRun machine(recorded);
    PtyEditor editor(direct);
    expected = RunExchangeScript(editor);
  }

  const std::string machineLink = (dir.path() / "machine").string();
  const std::string editorLink = (dir.path() / "editor").string();
  const std::string capture = (dir.path() / "bridge.txt").string();
  HeadlessRun machine(Headless("pty:" + machineLink));
  ProgramOptions options = Headless("pty:" + editorLink);
  options.portB = machineLink;
  options.bridge = true;
  options.capture = capture;
  std::vector<std::vector<uint8_t>> bridged;
  std::vector<uint8_t> badChecksum = Framed({0x20, 0x01});
  badChecksum.back() ^= 0x55;
  std::string printed;
  {
    HeadlessRun bridge(options);
    PtyEditor editor(editorLink);
    ASSERT_TRUE(editor.IsOpen());
    bridged = RunExchangeScript(editor);
    // A request the machine rejects still reaches it as it was sent.
    editor.Send(badChecksum);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    bridge.Stop();
    printed = bridge.Output();
  }

  ASSERT_EQ(expected.size(), ExchangeScript().size());
  for (const std::vector<uint8_t>& reply : expected) ASSERT_FALSE(reply.empty());
  EXPECT_EQ(bridged, expected);

  const std::vector<CaptureRecord> records = CaptureReader::ReadFile(capture);
  std::vector<std::vector<uint8_t>> requests = ExchangeScript();
  requests.push_back(badChecksum);
  EXPECT_EQ(BytesOf(Records(records, 'A', Direction::Rx)), requests);
  EXPECT_EQ(BytesOf(Records(records, 'B', Direction::Tx)), requests);
  // The machine may answer the bad request too; whatever it says reaches the editor.
  const std::vector<std::vector<uint8_t>> replies = BytesOf(Records(records, 'B', Direction::Rx));
  EXPECT_EQ(BytesOf(Records(records, 'A', Direction::Tx)), replies);
  ASSERT_GE(replies.size(), expected.size());
  EXPECT_EQ(std::vector(replies.begin(), replies.begin() + static_cast<long>(expected.size())),
            expected);
  EXPECT_EQ(Records(records, 'B', Direction::Tx).back().kind, FrameKind::BadChecksum);

  EXPECT_NE(printed.find("machine "), std::string::npos) << printed;
  EXPECT_NE(printed.find("held "), std::string::npos) << printed;
  EXPECT_NE(printed.find("bridge: 8 exchanges"), std::string::npos) << printed;
}

namespace {

// A bridge whose machine side is a pty: port nobody has open: the requests go nowhere, so the
// capture must not show them as sent (10.97 MB were logged as sent, 19.9 KB delivered).
TEST(TrafficTest, BridgedBytesAPortDroppedAreMarkedAndCountedNotRecordedAsSent) {
  TempDir dir;
  const std::string editorLink = (dir.path() / "editor").string();
  const std::string capture = (dir.path() / "bridge.txt").string();
  ProgramOptions options = Headless("pty:" + editorLink);
  options.portB = "pty:" + (dir.path() / "nobody").string();
  options.bridge = true;
  options.capture = capture;
  const std::vector<std::vector<uint8_t>> requests = {Framed({0x20, 0x01}), Framed({0x20, 0x00}),
                                                      Framed({0x61, 0x0C, 0x01})};
  std::string printed;
  {
    HeadlessRun bridge(options);
    PtyEditor editor(editorLink);
    ASSERT_TRUE(editor.IsOpen());
    for (const std::vector<uint8_t>& request : requests) {
      EXPECT_TRUE(editor.Request(request, 100).empty());  // no machine, no answer
    }
    bridge.Stop();
    printed = bridge.Output();
  }
  const std::vector<CaptureRecord> records = CaptureReader::ReadFile(capture);
  EXPECT_EQ(BytesOf(Records(records, 'A', Direction::Rx)), requests);
  EXPECT_TRUE(Records(records, 'B', Direction::Tx).empty());
  std::ifstream in(capture);
  const std::string text(std::istreambuf_iterator<char>(in), {});
  std::size_t marked = 0;
  for (auto at = text.find("# dropped, nobody connected: "); at != std::string::npos;
       at = text.find("# dropped, nobody connected: ", at + 1))
    ++marked;
  EXPECT_EQ(marked, requests.size()) << text;
  const std::string gone = "bridge: nothing is connected to port B (the machine)";
  EXPECT_NE(printed.find(gone), std::string::npos) << printed;
  EXPECT_EQ(printed.find(gone), printed.rfind(gone)) << "said once";
  EXPECT_NE(printed.find("dropped: 10 bytes to the machine, 0 to the editor"), std::string::npos)
      << printed;
}

}  // namespace

namespace {

// Nobody takes the output (standard output not read): the lines waiting stay bounded, and the
// next take says how many were dropped (RSS went from 259 MB to 1.08 GB under a flood before).
TEST(TrafficTest, OutputNobodyTakesIsBoundedAndTheDropCounted) {
  TempDir dir;
  const std::string link = (dir.path() / "editor").string();
  ProgramOptions options = Headless("pty:" + link);
  options.log = options.logDecoded = true;
  std::ostringstream out;
  HeadlessPrinter printer(options, out, out);
  printer.Start();  // never Run: nothing is taken
  PtyEditor editor(link);
  ASSERT_TRUE(editor.IsOpen());
  const std::vector<uint8_t> request = Framed({0x61, 0x0C, 0x01});
  const std::size_t exchanges = HostCore::kMaxQueuedLines / 2 + 500;  // two lines each
  for (std::size_t i = 0; i < exchanges; ++i) ASSERT_FALSE(editor.Request(request, 2000).empty());
  printer.Host().Call([](HostCore&) {});  // the last lines are queued
  const HostOutput output = printer.Host().TakeOutput();
  EXPECT_LE(output.decodedLines.size(), HostCore::kMaxQueuedLines);
  bool said = false;
  for (const std::string& note : output.diagnostics)
    said = said || note.find(" lines were dropped: they came faster than they were taken") !=
                       std::string::npos;
  EXPECT_TRUE(said);
}

}  // namespace
