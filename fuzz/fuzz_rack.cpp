// Rack files: a fuzzed text is read as a rack. An accepted rack holds 1..35 machines with names
// and ports of their own and identities and standards in range; a refused one is named by its
// source, never by anything vaguer, and nothing else escapes.
#include <set>
#include <string>
#include <string_view>

#include "FuzzFrames.h"
#include "RackFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<RackEntry> rack;
  try {
    rack = ParseRack(text, "fuzz.toml");
  } catch (const RackError& error) {
    FUZZ_CHECK(std::string_view(error.what()).starts_with("fuzz.toml:"));
    return 0;
  }
  FUZZ_CHECK(!rack.empty() && rack.size() <= static_cast<std::size_t>(kMaxRackMachines));
  std::set<std::string> names, ports;
  for (const RackEntry& entry : rack) {
    FUZZ_CHECK(!entry.name.empty() && !entry.port.empty());
    FUZZ_CHECK(entry.machine >= 0 && entry.machine <= 16);
    FUZZ_CHECK(entry.standard >= 0 && entry.standard <= 3);
    FUZZ_CHECK(entry.personality.has_value() == entry.rules.has_value());
    FUZZ_CHECK(names.insert(entry.name).second && ports.insert(entry.port).second);
  }
  return 0;
}
