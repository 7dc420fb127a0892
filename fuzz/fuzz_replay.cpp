// The replay script: fuzzed capture records are written as a capture file and read back, then cut
// into exchanges. Every request record of the editor's side is played once, in order, and a reply
// is a message the other way on that port before the next request. Reply comparison is
// reflexive, an exact match is also a match by form, and nothing matches no reply.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <sstream>

#include "FuzzFrames.h"
#include "ReplayScript.h"

namespace {

std::vector<CaptureRecord> FuzzedRecords(FuzzedDataProvider& input) {
  std::vector<CaptureRecord> records;
  while (input.remaining_bytes() > 0 && records.size() < 100) {
    CaptureRecord r;
    r.port = input.ConsumeBool() ? "A" : "B";
    r.direction = input.ConsumeBool() ? Direction::Rx : Direction::Tx;
    r.kind = static_cast<FrameKind>(input.ConsumeIntegralInRange(0, 2));
    r.time = Micros(input.ConsumeIntegralInRange<int64_t>(0, 999'999'999'999'999'999));
    r.bytes = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(1, 18));
    if (r.bytes.empty()) break;
    records.push_back(std::move(r));
  }
  return records;
}

std::vector<CaptureRecord> ThroughAFile(const std::vector<CaptureRecord>& records) {
  std::string file = std::string(kCaptureVersionLine) + "\n";
  for (const CaptureRecord& r : records) file += FormatCaptureLine(r) + "\n";
  std::istringstream in(file);
  return CaptureReader::Read(in);
}

void CheckExchanges(const std::vector<CaptureRecord>& records) {
  const bool anyA =
      std::any_of(records.begin(), records.end(), [](const auto& r) { return r.port == "A"; });
  const std::string port = anyA ? "A" : "B";
  const Direction requests = anyA ? Direction::Rx : Direction::Tx;
  const std::vector<ReplayExchange> exchanges = ReplayExchanges(records);
  std::size_t next = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const CaptureRecord& r = records[i];
    if (r.port != port || r.direction != requests) continue;
    FUZZ_CHECK(next < exchanges.size());
    const ReplayExchange& e = exchanges[next++];
    FUZZ_CHECK(e.request == r.bytes && e.requestKind == r.kind && e.at == r.time);
    std::optional<std::vector<uint8_t>> reply;
    for (std::size_t j = i + 1; j < records.size(); ++j) {
      const CaptureRecord& o = records[j];
      if (o.port != port) continue;
      if (o.direction == requests) break;
      if (o.kind != FrameKind::Debris) {
        reply = o.bytes;
        break;
      }
    }
    FUZZ_CHECK(e.reply == reply);
  }
  FUZZ_CHECK(next == exchanges.size());
}

void CheckMatching(FuzzedDataProvider& input, const std::vector<CaptureRecord>& records) {
  if (records.size() < 2) return;
  const std::vector<uint8_t>& a = records[0].bytes;
  const std::vector<uint8_t>& b = records[1].bytes;
  for (const bool exact : {true, false}) {
    FUZZ_CHECK(RepliesMatch(a, a, exact));
    FUZZ_CHECK(!RepliesMatch(a, std::nullopt, exact) && !RepliesMatch(std::nullopt, a, exact));
  }
  if (RepliesMatch(a, b, true)) FUZZ_CHECK(RepliesMatch(a, b, false));
  // Only the checksum differs: the same reply by form.
  std::vector<uint8_t> other = a;
  other.back() = static_cast<uint8_t>(other.back() + 1 + input.ConsumeIntegralInRange(0, 254));
  if (a.size() >= 3) FUZZ_CHECK(RepliesMatch(a, other, false));
  FUZZ_CHECK(!RepliesMatch(a, other, true));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::vector<CaptureRecord> records = FuzzedRecords(input);
  const std::vector<CaptureRecord> read = ThroughAFile(records);
  FUZZ_CHECK(read.size() == records.size());
  CheckExchanges(read);
  CheckMatching(input, read);
  std::vector<Micros> times;
  for (const CaptureRecord& r : read) times.push_back(r.time);
  const std::string summary = ReplyTimeSummary(times);
  FUZZ_CHECK(times.empty() ? summary == "no replies"
                           : summary.rfind("n " + std::to_string(times.size()) + " ", 0) == 0);
  return 0;
}
