// Personality files: a fuzzed text is read as a personality file. An accepted file is written and
// read back equal (and written again to the same text), and a machine run with it answers a few
// requests with writes in time order; a refused one is named by file and line, then a key or
// "syntax", never anything vaguer.
#include <cctype>
#include <string>
#include <string_view>

#include "FuzzFrames.h"
#include "PersonalityFile.h"
#include "ReplyShaper.h"

namespace {

constexpr std::string_view kSource = "fuzz.toml";

// "fuzz.toml:12: timing.reply_delay_ms: ..." or "fuzz.toml:3: syntax: ...".
bool NamesLineAndKey(std::string_view message) {
  if (message.substr(0, kSource.size() + 1) != "fuzz.toml:") return false;
  std::size_t i = kSource.size() + 1;
  const std::size_t digits = i;
  while (i < message.size() && std::isdigit(static_cast<unsigned char>(message[i]))) ++i;
  if (i == digits || message.substr(i, 2) != ": ") return false;
  const std::size_t key = i + 2;
  const std::size_t end = message.find(": ", key);
  return end != std::string_view::npos && end > key;
}

void RunMachine(const Personality& personality) {
  VirtualMachine vm;
  vm.FormShow();
  ReplyShaper shaper(personality);
  shaper.Attach(vm);
  shaper.PortOpened();
  const uint8_t requests[] = {0x61, 0x20, 0x0F, 0x90, 0x20, 0x01, 0x21, 0x05, 0x00, 0x11, 0x11};
  Micros last(0);
  for (int round = 0; round < 4; ++round) {
    const Micros now(round * 1000);
    const ShapedEvent event = shaper.DataAvailable(requests, {}, now);
    for (const PlannedWrite& write : event.writes) {
      FUZZ_CHECK(write.delay >= Micros(0) && !write.bytes.empty());
      FUZZ_CHECK(now + write.delay >= last);
      last = now + write.delay;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Personality personality;
  try {
    personality = ParsePersonality(text, std::string(kSource));
  } catch (const PersonalityError& error) {
    FUZZ_CHECK(NamesLineAndKey(error.what()));
    return 0;
  }
  const std::string written = WritePersonality(personality);
  const Personality again = ParsePersonality(written, "written.toml");
  FUZZ_CHECK(again == personality);
  FUZZ_CHECK(WritePersonality(again) == written);
  RunMachine(personality);
  return 0;
}
