// Rack files: many virtual machines in one run, each on its own port, as TOML.
//
//   [[machine]]
//   name = "vtr1"            # optional; "vtr<n>" by its place in the file
//   port = "pty:/tmp/vtr1"   # any port target: COMn, a device path, pty:PATH
//   machine = 5              # identity 0..16 (default 0)
//   standard = 1             # 0 EBU, 1 SMPTE non-drop, 2 24P, 3 SMPTE drop-frame (default 0)
//   personality = "slow.toml" # optional: a personality file or a built-in name
//
// The shorthand `--rack N --port-a 'pty:/tmp/vtr{n}'` makes N entries with {n} = 1..N and the
// same identity for all. At most kMaxRackMachines machines. A bad entry is refused with a
// RackError naming the file, the line, the entry and the key:
//   "rack.toml:7: machine 2 (\"vtr2\"): standard: expected a whole number from 0 to 3".
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Personality.h"

constexpr int kMaxRackMachines = 35;

class RackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct RackEntry {
  std::string name;
  std::string port;
  int machine = 0;
  int standard = 0;
  std::optional<std::string> personality;  // as the file names it
  std::optional<Personality> rules;        // what it loaded

  bool operator==(const RackEntry&) const = default;
};

// Reads a rack from TOML text; `source` names it in error messages.
std::vector<RackEntry> ParseRack(std::string_view text, const std::string& source);
std::vector<RackEntry> ReadRackFile(const std::string& path);
// `count` machines on `portPattern` with "{n}" replaced by 1..count, all alike otherwise.
// Whether `--rack ARG` gives a machine count rather than a file.
bool IsRackCount(const std::string& arg);
// `--rack ARG`: a machine count (then `portPattern` is the shorthand's port) or a rack file.
std::vector<RackEntry> LoadRack(const std::string& arg,
                                const std::optional<std::string>& portPattern, int machine,
                                int standard, const std::optional<std::string>& personality);
std::vector<RackEntry> ShorthandRack(int count, const std::string& portPattern, int machine,
                                     int standard, const std::optional<std::string>& personality);
