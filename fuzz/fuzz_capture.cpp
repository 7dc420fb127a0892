// Capture files. The first input byte picks the case:
//  - even: the rest is a capture file. Reading it either refuses it with CaptureError or gives
//    records that, written out as lines and read again, come back the same;
//  - odd: the rest is frames (port or machine, direction, kind, bytes, time step) written by
//    CaptureWriter.
//    The file reads back as exactly those frames, and cut off at any point it still reads: a
//    prefix of them, the cut-off last line at most warned about.
#include <fuzzer/FuzzedDataProvider.h>

#include <sstream>

#include "CaptureFile.h"
#include "FuzzFrames.h"

namespace {

// A, B, or now and then a rack machine's name (a version 2 capture).
std::string Label(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0:
      return "vtr" + std::to_string(input.ConsumeIntegralInRange(1, 35));
    case 1:
    case 2:
      return "A";
    default:
      return "B";
  }
}

bool SameRecord(const CaptureRecord& a, const CaptureRecord& b) {
  return a.time == b.time && a.port == b.port && a.direction == b.direction && a.kind == b.kind &&
         a.bytes == b.bytes;
}

void ReadAnyText(const std::string& text) {
  std::istringstream in(text);
  std::vector<CaptureRecord> records;
  try {
    records = CaptureReader::Read(in);
  } catch (const CaptureError&) {
    return;
  }
  std::string again = CaptureVersionLine(CaptureVersionFor(records)) + "\n";
  for (const CaptureRecord& r : records) again += FormatCaptureLine(r) + "\n";
  std::istringstream reread(again);
  const std::vector<CaptureRecord> back = CaptureReader::Read(reread);
  FUZZ_CHECK(back.size() == records.size());
  for (std::size_t i = 0; i < back.size(); ++i) {
    FUZZ_CHECK(SameRecord(back[i], records[i]));
    FUZZ_CHECK(back[i].text == records[i].text);
  }
}

void WriteAndReadBack(FuzzedDataProvider& input) {
  std::ostringstream out;
  CaptureWriter writer(out, Micros(0), kCaptureVersionNow);
  std::vector<CaptureRecord> written;
  Micros at{0};
  while (input.remaining_bytes() > 0 && written.size() < 200) {
    Frame frame;
    const std::string port = Label(input);
    const Direction direction = input.ConsumeBool() ? Direction::Rx : Direction::Tx;
    frame.kind = static_cast<FrameKind>(input.ConsumeIntegralInRange(0, 2));
    frame.bytes = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(1, 64));
    if (frame.bytes.empty()) break;
    at += Micros(input.ConsumeIntegralInRange<int64_t>(0, 100'000'000'000));
    frame.firstByte = at;
    writer.Write(port, direction, frame);
    written.push_back({at, port, direction, frame.kind, frame.bytes, {}});
  }
  const std::string file = out.str();
  std::istringstream in(file);
  const std::vector<CaptureRecord> whole = CaptureReader::Read(in);
  FUZZ_CHECK(whole.size() == written.size());
  for (std::size_t i = 0; i < whole.size(); ++i) FUZZ_CHECK(SameRecord(whole[i], written[i]));

  const std::size_t head = CaptureVersionLine(kCaptureVersionNow).size() + 1;
  const std::size_t cut = head + input.ConsumeIntegralInRange<std::size_t>(0, file.size() - head);
  std::istringstream torn(file.substr(0, cut));
  std::vector<std::string> warnings;
  const std::vector<CaptureRecord> prefix = CaptureReader::Read(torn, &warnings);
  FUZZ_CHECK(prefix.size() <= written.size() && warnings.size() <= 1);
  for (std::size_t i = 0; i < prefix.size(); ++i) FUZZ_CHECK(SameRecord(prefix[i], written[i]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] % 2 == 0) {
    ReadAnyText(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  } else {
    FuzzedDataProvider input(data + 1, size - 1);
    WriteAndReadBack(input);
  }
  return 0;
}
