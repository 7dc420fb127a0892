// Device-type naming on any bytes: the text is never empty, never longer than a name and its
// suffixes, and ends with the standard the low nibble of the first data byte names.
#include <cstring>
#include <string>

#include "FuzzFrames.h"
#include "sonyname.h"

namespace {

// 19 characters of name, one letter of a 13 11 reply, " NTSC nd".
constexpr std::size_t kLongestName = 19 + 1 + 8;

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  SonyMessage message;
  std::memcpy(message.bytes.data(), data + 1, std::min(size - 1, message.bytes.size()));
  const bool dropFrame = data[0] & 1;
  const std::string name = DeviceTypeName(message, dropFrame);
  FUZZ_CHECK(!name.empty() && name.size() <= kLongestName);
  switch (message.Data(1) & 0x0F) {
    case 0:
      FUZZ_CHECK(EndsWith(name, dropFrame ? " NTSC d" : " NTSC nd"));
      break;
    case 1:
      FUZZ_CHECK(EndsWith(name, " PAL"));
      break;
    case 2:
      FUZZ_CHECK(EndsWith(name, " Film"));
      break;
    default:
      break;
  }
  // The low nibble of the first data byte chooses the suffix only, never the name.
  SonyMessage sibling = message;
  sibling[2] = static_cast<uint8_t>((message[2] & 0xF0) | 0x05);
  const std::string siblingName = DeviceTypeName(sibling, dropFrame);
  if (name[0] != '$') FUZZ_CHECK(name.compare(0, siblingName.size(), siblingName) == 0);
  return 0;
}
