// The bridge engine: fuzzed bursts from the editor and the machine and timer polls, at fuzzed
// times. Every byte is passed on unchanged and in order both ways, and the capture lines read back
// as a capture whose four directions hold exactly the bytes of the two streams.
#include <fuzzer/FuzzedDataProvider.h>

#include <sstream>

#include "FuzzFrames.h"
#include "SonyBridge.h"

namespace {

struct Streams {
  std::vector<uint8_t> fromEditor, fromMachine, toEditor, toMachine;
  std::vector<std::string> captureLines;
  std::size_t decodedLines = 0;

  void Take(const BridgeOutput& out) {
    toEditor.insert(toEditor.end(), out.toEditor.begin(), out.toEditor.end());
    toMachine.insert(toMachine.end(), out.toMachine.begin(), out.toMachine.end());
    captureLines.insert(captureLines.end(), out.captureLines.begin(), out.captureLines.end());
    decodedLines += out.decodedLines.size();
  }
};

std::vector<uint8_t> CapturedBytes(const std::vector<CaptureRecord>& records, char port,
                                   Direction direction) {
  std::vector<uint8_t> bytes;
  for (const CaptureRecord& r : records) {
    if (r.port == std::string(1, port) && r.direction == direction)
      bytes.insert(bytes.end(), r.bytes.begin(), r.bytes.end());
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  Micros now{input.ConsumeIntegralInRange<int64_t>(0, 1'000'000'000)};
  SonyBridge bridge(now);
  Streams s;
  while (input.remaining_bytes() > 0) {
    now += Micros(input.ConsumeIntegralInRange<int64_t>(0, 50'000));
    const int what = input.ConsumeIntegralInRange(0, 2);
    if (what == 2) {
      s.Take(bridge.Poll(now));
      continue;
    }
    const auto burst =
        input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 40));
    std::vector<uint8_t>& in = what == 0 ? s.fromEditor : s.fromMachine;
    in.insert(in.end(), burst.begin(), burst.end());
    s.Take(what == 0 ? bridge.FromEditor(burst, now) : bridge.FromMachine(burst, now));
  }
  s.Take(bridge.Poll(now + MessageFramer::kQuietGap));

  FUZZ_CHECK(s.toMachine == s.fromEditor);
  FUZZ_CHECK(s.toEditor == s.fromMachine);
  FUZZ_CHECK(s.decodedLines == s.captureLines.size());
  std::string file = std::string(kCaptureVersionLine) + "\n";
  for (const std::string& line : s.captureLines) file += line + "\n";
  std::istringstream in(file);
  const std::vector<CaptureRecord> records = CaptureReader::Read(in);
  FUZZ_CHECK(CapturedBytes(records, 'A', Direction::Rx) == s.fromEditor);
  FUZZ_CHECK(CapturedBytes(records, 'B', Direction::Tx) == s.fromEditor);
  FUZZ_CHECK(CapturedBytes(records, 'B', Direction::Rx) == s.fromMachine);
  FUZZ_CHECK(CapturedBytes(records, 'A', Direction::Tx) == s.fromMachine);
  for (const BridgeExchange& e : bridge.Exchanges()) {
    FUZZ_CHECK(e.machineReplyTime >= Micros(0) && e.bridgeDelay >= Micros(0));
  }
  return 0;
}
