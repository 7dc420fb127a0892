#include "TimecodeCalls.h"

#include <array>

#include "ZQTimeCodeDll.h"

namespace timecode_calls {

namespace {

using PascalText = std::array<uint8_t, 256>;

// Texts longer than 255 characters are cut: the length byte cannot say more.
PascalText ToPascal(std::string_view text) {
  PascalText out{};
  const std::size_t length = text.size() < 255 ? text.size() : 255;
  out[0] = static_cast<uint8_t>(length);
  for (std::size_t i = 0; i < length; ++i) out[i + 1] = static_cast<uint8_t>(text[i]);
  return out;
}

std::string FromPascal(const PascalText& text) {
  return std::string(reinterpret_cast<const char*>(text.data() + 1), text[0]);
}

}  // namespace

int32_t TextToFrames(std::string_view text, uint8_t standard) {
  const PascalText in = ToPascal(text);
  return str2frms(in.data(), standard);
}

std::string FramesToText(int32_t frames, uint8_t standard) {
  PascalText out{};
  frms2str(out.data(), frames, standard);
  return FromPascal(out);
}

std::string NextFrame(std::string_view text, uint8_t standard) {
  const PascalText in = ToPascal(text);
  PascalText out{};
  inctcstr(out.data(), in.data(), standard);
  return FromPascal(out);
}

std::string PreviousFrame(std::string_view text, uint8_t standard) {
  const PascalText in = ToPascal(text);
  PascalText out{};
  dectcstr(out.data(), in.data(), standard);
  return FromPascal(out);
}

int32_t SubtractFrames(int32_t a, int32_t b, uint8_t standard) { return subfrms(a, b, standard); }

void TextToSony(std::string_view text, uint8_t* buffer, int32_t index, uint8_t standard) {
  const PascalText in = ToPascal(text);
  string2p2(in.data(), buffer, index, standard);
}

}  // namespace timecode_calls
