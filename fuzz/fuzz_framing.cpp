// Receive framing: a byte stream cut into data events at fuzzed points goes through
// ReceiveBytes/ExtractMessage and through the queue model; both must agree on every refusal,
// every message, the checksum-error count and the bytes held. Every extracted message then goes
// through StoreStatus, DecodeStatus, TimeDataText and FormatSonyTime.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <string>

#include "FuzzFrames.h"
#include "sonyname.h"

namespace {

void CheckTimeText(const std::string& text, bool dropFrame, uint8_t hoursByte) {
  FUZZ_CHECK(text.size() == ((hoursByte & 0x80) ? 12u : 11u));
  for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u, 9u, 10u})
    FUZZ_CHECK(std::isxdigit(static_cast<unsigned char>(text[i])));
  FUZZ_CHECK(text[2] == (dropFrame ? ';' : ':') && text[5] == text[2] && text[8] == text[2]);
}

void CheckStatus(SonyPort& port, int senseStart) {
  const auto before = port.Status;
  port.SenseStart = senseStart;
  const bool changed = StoreStatus(port);
  bool expectChange = false;
  for (int i = 0; i < port.Rx.DataCount() && senseStart + i < 16; ++i) {
    FUZZ_CHECK(port.Status[static_cast<std::size_t>(senseStart + i)] == port.Rx.Data(i + 1));
    expectChange |= before[static_cast<std::size_t>(senseStart + i)] != port.Rx.Data(i + 1);
  }
  FUZZ_CHECK(changed == expectChange);
  for (int i = 0; i < 16; ++i)
    if (i < senseStart || i >= senseStart + port.Rx.DataCount())
      FUZZ_CHECK(port.Status[static_cast<std::size_t>(i)] == before[static_cast<std::size_t>(i)]);
  DecodeStatus(port);
  FUZZ_CHECK(port.TallyText.size() <= kTallyCapacity);
  FUZZ_CHECK(port.TransportMode == (port.Status[1] & 0x3F));
  FUZZ_CHECK(port.Remote == ((port.Status[0] & 1) == 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  SonyPort port;
  ReceiveModel model;
  while (input.remaining_bytes() > 0) {
    const auto burst =
        input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 33));
    FUZZ_CHECK(ReceiveBytes(port, burst) == model.Receive(burst));
    const int extractions = input.ConsumeIntegralInRange(0, 3);
    for (int e = 0; e < extractions; ++e) {
      const auto expected = model.Extract();
      const bool got = ExtractMessage(port);
      FUZZ_CHECK(got == !expected.empty());
      FUZZ_CHECK(port.ChecksumErrors == model.Errors());
      FUZZ_CHECK(static_cast<std::size_t>((port.RxWrite - port.RxRead) & kRingMask) ==
                 model.Held());
      if (!got) break;
      FUZZ_CHECK(std::equal(expected.begin(), expected.end(), port.Rx.bytes.begin()));
      FUZZ_CHECK(RxText(port) == "Rx:" + HexBytes(expected));
      CheckStatus(port, input.ConsumeIntegralInRange(0, 15));
      const std::string time = TimeDataText(port);
      FUZZ_CHECK(port.DropFrame == ((port.Rx.Data(1) & 0x40) != 0));
      CheckTimeText(time, port.DropFrame, port.Rx.Data(4));
      FUZZ_CHECK(time == FormatSonyTime(port.Rx, port.DropFrame));
      FUZZ_CHECK(!DeviceTypeText(port).empty());
    }
  }
  return 0;
}
