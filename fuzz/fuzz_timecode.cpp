// The time-code library on buffers of exactly the size each call may read (ASan sees any read
// past what the length byte promises), with the round trips the library defines: frames -> text
// -> frames, frames -> Sony bytes -> frames, Sony bytes -> frames -> Sony bytes for a label that
// exists, one frame later then earlier, a + b - b.
#include <fuzzer/FuzzedDataProvider.h>

#include <memory>

#include "FuzzFrames.h"
#include "ZQTimeCodeDll.h"

namespace {

int32_t DayLength(uint8_t standard) {
  switch (standard) {
    case 1:
      return 2592000;
    case 2:
      return 2073600;
    case 3:
      return 2589408;
    default:
      return 2160000;
  }
}

// A length-prefixed text in a heap block of exactly 1 + length bytes.
std::unique_ptr<uint8_t[]> ExactText(const std::string& text) {
  auto block = std::make_unique<uint8_t[]>(text.size() + 1);
  block[0] = static_cast<uint8_t>(text.size());
  std::copy(text.begin(), text.end(), block.get() + 1);
  return block;
}

std::string Text(const uint8_t* out) {
  return std::string(reinterpret_cast<const char*>(out + 1), out[0]);
}

bool InDay(int32_t frames, uint8_t standard) { return frames >= 0 && frames < DayLength(standard); }

void TextTrips(const std::string& typed, uint8_t standard) {
  const auto in = ExactText(typed);
  const int32_t frames = str2frms(in.get(), standard);
  FUZZ_CHECK(InDay(frames, standard));
  uint8_t out[256];
  frms2str(out, frames, standard);
  FUZZ_CHECK(out[0] == 11 && out[12] == 0);
  const auto again = ExactText(Text(out));
  FUZZ_CHECK(str2frms(again.get(), standard) == frames);

  uint8_t later[256], back[256];
  inctcstr(later, in.get(), standard);
  const auto laterText = ExactText(Text(later));
  dectcstr(back, laterText.get(), standard);
  const auto backText = ExactText(Text(back));
  FUZZ_CHECK(str2frms(backText.get(), standard) == frames);
  FUZZ_CHECK(str2frms(laterText.get(), standard) == addfrms(frames, 1, standard));

  uint8_t sony[4];
  string2p2(in.get(), sony, 0, standard);
  FUZZ_CHECK(Sony2frms(sony, 0, standard) == frames);
}

void SonyTrips(const uint8_t* bytes, uint8_t standard) {
  auto exact = std::make_unique<uint8_t[]>(4);
  std::copy(bytes, bytes + 4, exact.get());
  const int32_t frames = Sony2frms(exact.get(), 0, standard);
  FUZZ_CHECK(InDay(frames, standard));
  auto out = std::make_unique<uint8_t[]>(4);
  frms2Sony(frames, standard, 0, out.get());
  FUZZ_CHECK(Sony2frms(out.get(), 0, standard) == frames);
  // A label that exists reads back as written, flag bits aside.
  const bool droppedLabel =
      standard == 3 && (bytes[0] & 0x3F) < 2 && (bytes[1] & 0x7F) == 0 && (bytes[2] & 0x0F) != 0;
  if (frames != 0 && !droppedLabel) {
    FUZZ_CHECK((out[0] & 0x3F) == (bytes[0] & 0x3F) && (out[1] & 0x7F) == (bytes[1] & 0x7F));
    FUZZ_CHECK((out[2] & 0x7F) == (bytes[2] & 0x7F) && (out[3] & 0x3F) == (bytes[3] & 0x3F));
  }
}

void Arithmetic(int32_t a, int32_t b, uint8_t standard) {
  const int32_t sum = addfrms(a, b, standard);
  FUZZ_CHECK(InDay(sum, standard));
  FUZZ_CHECK(subfrms(sum, b, standard) == subfrms(a, 0, standard));
  const uint32_t card = frms2hmsfCard(a, standard);
  FUZZ_CHECK((card >> 24) < 24 && ((card >> 16) & 0xFF) < 60 && ((card >> 8) & 0xFF) < 60);
  FUZZ_CHECK(static_cast<int32_t>(card & 0xFF) < frmspersec(standard));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const uint8_t standard = input.ConsumeIntegral<uint8_t>();
  const uint8_t code = standard > 3 ? 0 : standard;  // any other code acts as EBU
  const int32_t a = input.ConsumeIntegral<int32_t>();
  const int32_t b = input.ConsumeIntegral<int32_t>();
  Arithmetic(a, b, standard);
  FUZZ_CHECK(addfrms(a, b, standard) == addfrms(a, b, code));
  const auto sony = input.ConsumeBytes<uint8_t>(4);
  if (sony.size() == 4) SonyTrips(sony.data(), standard);
  TextTrips(input.ConsumeRemainingBytesAsString(), standard);
  return 0;
}
