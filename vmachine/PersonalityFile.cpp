#include "PersonalityFile.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace {

constexpr double kMaxMs = 10000;  // a machine that waits longer is a dead machine
constexpr double kMaxReceiveTimeoutMs = 60000;
constexpr int64_t kMaxByteTimeUs = 100000;  // slower than 110 baud
constexpr int64_t kMaxEvery = 1000000;
constexpr std::size_t kMaxNameLength = 64;

using Handler = std::function<void(const toml::node&, const std::string&)>;
using Section = std::map<std::string, Handler, std::less<>>;

// A key as the file would spell it: bare when it may be, else quoted ("" for the empty key).
std::string KeyText(std::string_view key) {
  const bool bare = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
  });
  if (bare) return std::string(key);
  std::string quoted = "\"";
  for (char c : key) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < ' ' || c == 127) {
      static constexpr char kDigits[] = "0123456789ABCDEF";
      const auto byte = static_cast<unsigned char>(c);
      quoted += {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 0x0F]};
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

class FileReader {
 public:
  explicit FileReader(std::string source) : source_(std::move(source)) {}

  Personality Read(const toml::table& root) {
    Personality p;
    std::map<std::string, Section, std::less<>> sections = {
        {"identity", IdentityKeys(p.identity)}, {"timing", TimingKeys(p.timing)},
        {"errors", ErrorKeys(p.errors)},        {"commands", CommandKeys(p.commands)},
        {"status", StatusKeys(p.status)},       {"faults", FaultKeys(p.faults)},
    };
    for (const auto& [key, node] : root) {
      const std::string name = KeyText(key.str());
      if (name == "name") {
        p.name = Name(node, name);
        continue;
      }
      const auto section = sections.find(name);
      if (section == sections.end()) Fail(node, name, "unknown key");
      const toml::table* table = node.as_table();
      if (table == nullptr) Fail(node, name, "expected a table [" + name + "]");
      ReadSection(*table, name, section->second);
    }
    return p;
  }

 private:
  [[noreturn]] void Fail(const toml::node& node, const std::string& key, const std::string& what) {
    throw PersonalityError(source_ + ":" + std::to_string(node.source().begin.line) + ": " + key +
                           ": " + what);
  }

  void ReadSection(const toml::table& table, const std::string& prefix, const Section& keys) {
    for (const auto& [key, node] : table) {
      const std::string full = prefix + "." + KeyText(key.str());
      const auto handler = keys.find(key.str());
      if (handler == keys.end()) Fail(node, full, "unknown key");
      handler->second(node, full);
    }
  }

  std::string Name(const toml::node& node, const std::string& key) {
    const auto text = node.value_exact<std::string>();
    const bool printable = text && std::all_of(text->begin(), text->end(),
                                               [](char c) { return c >= ' ' && c != 127; });
    if (!text || text->empty() || text->size() > kMaxNameLength || !printable) {
      Fail(node, key, "expected a name of 1 to 64 printable characters");
    }
    return *text;
  }

  bool Bool(const toml::node& node, const std::string& key) {
    const auto value = node.value_exact<bool>();
    if (!value) Fail(node, key, "expected true or false");
    return *value;
  }

  int64_t Int(const toml::node& node, const std::string& key, int64_t low, int64_t high) {
    const auto value = node.value_exact<int64_t>();
    if (!value || *value < low || *value > high) {
      Fail(node, key,
           "expected a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    }
    return *value;
  }

  // Milliseconds, whole or with decimals, held as microseconds.
  int64_t Ms(const toml::node& node, const std::string& key, double high) {
    std::optional<double> value;
    if (node.is_integer()) value = static_cast<double>(*node.value_exact<int64_t>());
    if (node.is_floating_point()) value = node.value_exact<double>();
    if (!value || !std::isfinite(*value) || *value < 0 || *value > high) {
      Fail(node, key, "expected milliseconds from 0 to " + std::to_string(static_cast<int>(high)));
    }
    return std::llround(*value * 1000);
  }

  template <typename T, typename ParseItem>
  std::vector<T> List(const toml::node& node, const std::string& key, const char* expected,
                      ParseItem parse) {
    const toml::array* array = node.as_array();
    if (array == nullptr) Fail(node, key, std::string("expected a list of ") + expected);
    std::vector<T> items;
    for (const toml::node& item : *array) {
      const auto text = item.value_exact<std::string>();
      const auto parsed = text ? parse(*text) : std::nullopt;
      if (!parsed) Fail(item, key, std::string("expected ") + expected);
      items.push_back(*parsed);
    }
    return items;
  }

  std::vector<CommandPattern> Patterns(const toml::node& node, const std::string& key) {
    return List<CommandPattern>(node, key, "commands such as \"20 01\" or \"2x *\"",
                                [](std::string_view text) { return ParseCommandPattern(text); });
  }

  std::array<uint8_t, 2> DeviceType(const toml::node& node, const std::string& key) {
    const auto text = node.value_exact<std::string>();
    const auto pattern = text ? ParseCommandPattern(*text) : std::nullopt;
    if (!pattern || pattern->cmd1Mask != 0xFF || pattern->cmd2Mask != 0xFF) {
      Fail(node, key, "expected two hexadecimal bytes such as \"20 25\"");
    }
    return {pattern->cmd1, pattern->cmd2};
  }

  Section IdentityKeys(PersonalityIdentity& identity) {
    return {
        {"machine", [&](const auto& n,
                        const auto& k) { identity.machine = static_cast<int>(Int(n, k, 0, 16)); }},
        {"standard", [&](const auto& n,
                         const auto& k) { identity.standard = static_cast<int>(Int(n, k, 0, 3)); }},
        {"device_type",
         [&](const auto& n, const auto& k) { identity.deviceType = DeviceType(n, k); }},
    };
  }

  Section TimingKeys(PersonalityTiming& timing) {
    return {
        {"reply_delay_ms",
         [&](const auto& n, const auto& k) { timing.replyDelayUs = Ms(n, k, kMaxMs); }},
        {"reply_jitter_ms",
         [&](const auto& n, const auto& k) { timing.replyJitterUs = Ms(n, k, kMaxMs); }},
        {"seed",
         [&](const auto& n, const auto& k) {
           timing.seed = static_cast<uint64_t>(Int(n, k, 0, INT64_MAX));
         }},
        {"byte_time_us",
         [&](const auto& n, const auto& k) { timing.byteTimeUs = Int(n, k, 0, kMaxByteTimeUs); }},
        {"receive_timeout_ms",
         [&](const auto& n, const auto& k) {
           timing.receiveTimeoutUs = Ms(n, k, kMaxReceiveTimeoutMs);
         }},
    };
  }

  Section ErrorKeys(PersonalityErrors& errors) {
    return {
        {"nak_checksum", [&](const auto& n, const auto& k) { errors.nakChecksum = Bool(n, k); }},
        {"nak_timeout", [&](const auto& n, const auto& k) { errors.nakTimeout = Bool(n, k); }},
        {"nak_undefined", [&](const auto& n, const auto& k) { errors.nakUndefined = Bool(n, k); }},
    };
  }

  Section CommandKeys(PersonalityCommands& commands) {
    return {
        {"accept", [&](const auto& n, const auto& k) { commands.accept = Patterns(n, k); }},
        {"ignore", [&](const auto& n, const auto& k) { commands.ignore = Patterns(n, k); }},
        {"silent", [&](const auto& n, const auto& k) { commands.silent = Patterns(n, k); }},
        {"nak",
         [&](const auto& n, const auto& k) {
           commands.nak = List<CommandRefusal>(
               n, k, "refusals such as \"20 10 = 01\"",
               [](std::string_view text) { return ParseCommandRefusal(text); });
         }},
    };
  }

  Section StatusKeys(PersonalityStatus& status) {
    Section keys = {
        {"bytes",
         [&](const auto& n, const auto& k) { status.bytes = static_cast<int>(Int(n, k, 0, 16)); }},
        {"local", [&](const auto& n, const auto& k) { status.local = Bool(n, k); }},
    };
    for (const StatusBitName& bit : StatusBitNames()) {
      const std::string name(bit.name);
      keys[name] = [&status, name, this](const toml::node& n, const std::string& k) {
        if (Bool(n, k)) {
          status.bits.insert(name);
        } else {
          status.bits.erase(name);
        }
      };
    }
    return keys;
  }

  Section FaultKeys(PersonalityFaults& faults) {
    auto every = [this](int& field) {
      return [this, &field](const toml::node& n, const std::string& k) {
        field = static_cast<int>(Int(n, k, 0, kMaxEvery));
      };
    };
    return {
        {"drop_every", every(faults.dropEvery)},
        {"bad_checksum_every", every(faults.badChecksumEvery)},
        {"late_every", every(faults.lateEvery)},
        {"late_ms", [&](const auto& n, const auto& k) { faults.lateUs = Ms(n, k, kMaxMs); }},
        {"split_every", every(faults.splitEvery)},
        {"split_gap_ms",
         [&](const auto& n, const auto& k) { faults.splitGapUs = Ms(n, k, kMaxMs); }},
        {"swallow_first", every(faults.swallowFirst)},
        {"garbage_every", every(faults.garbageEvery)},
    };
  }

  std::string source_;
};

// Microseconds as milliseconds with no more decimals than they need: 2000 "2", 286 "0.286".
std::string MsText(int64_t us) {
  std::string text = std::to_string(us / 1000);
  if (us % 1000 == 0) return text;
  std::string fraction = std::to_string(1000 + us % 1000).substr(1);
  while (fraction.back() == '0') fraction.pop_back();
  return text + "." + fraction;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

template <typename T>
std::string ListText(const std::vector<T>& items) {
  std::string text = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    text += (i == 0 ? "" : ", ") + Quoted(items[i].Text());
  }
  return text + "]";
}

// Collects the lines of one table; a table with no lines is not written.
class TableText {
 public:
  explicit TableText(std::string name) : name_(std::move(name)) {}
  void Add(const std::string& key, const std::string& value) {
    lines_ += key + " = " + value + "\n";
  }
  void AddInt(const std::string& key, int64_t value, int64_t plain = 0) {
    if (value != plain) Add(key, std::to_string(value));
  }
  void AddMs(const std::string& key, int64_t us) {
    if (us != 0) Add(key, MsText(us));
  }
  void AddBool(const std::string& key, bool value) {
    if (value) Add(key, "true");
  }
  void AppendTo(std::string& out) const {
    if (!lines_.empty()) out += "\n[" + name_ + "]\n" + lines_;
  }

 private:
  std::string name_;
  std::string lines_;
};

}  // namespace

Personality ParsePersonality(std::string_view text, const std::string& source) {
  toml::table root;
  try {
    root = toml::parse(text, source);
  } catch (const toml::parse_error& error) {
    throw PersonalityError(source + ":" + std::to_string(error.source().begin.line) +
                           ": syntax: " + std::string(error.description()));
  }
  return FileReader(source).Read(root);
}

Personality ReadPersonalityFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PersonalityError(path + ": cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return ParsePersonality(text.str(), path);
}

Personality LoadPersonality(const std::string& nameOrPath) {
  if (const Personality* builtIn = FindBuiltInPersonality(nameOrPath)) return *builtIn;
  return ReadPersonalityFile(nameOrPath);
}

std::string WritePersonality(const Personality& p, const std::vector<std::string>& comments) {
  std::string out;
  for (const std::string& comment : comments) out += "# " + comment + "\n";
  out += "name = " + Quoted(p.name) + "\n";

  TableText identity("identity");
  if (p.identity.machine) identity.Add("machine", std::to_string(*p.identity.machine));
  if (p.identity.standard) identity.Add("standard", std::to_string(*p.identity.standard));
  if (const auto& type = p.identity.deviceType) {
    identity.Add("device_type", Quoted(CommandPattern{(*type)[0], 0xFF, (*type)[1], 0xFF}.Text()));
  }
  identity.AppendTo(out);

  TableText timing("timing");
  timing.AddMs("reply_delay_ms", p.timing.replyDelayUs);
  timing.AddMs("reply_jitter_ms", p.timing.replyJitterUs);
  timing.AddInt("seed", static_cast<int64_t>(p.timing.seed));
  timing.AddInt("byte_time_us", p.timing.byteTimeUs);
  timing.AddMs("receive_timeout_ms", p.timing.receiveTimeoutUs);
  timing.AppendTo(out);

  TableText errors("errors");
  errors.AddBool("nak_checksum", p.errors.nakChecksum);
  errors.AddBool("nak_timeout", p.errors.nakTimeout);
  errors.AddBool("nak_undefined", p.errors.nakUndefined);
  errors.AppendTo(out);

  TableText commands("commands");
  if (p.commands.accept) commands.Add("accept", ListText(*p.commands.accept));
  if (!p.commands.ignore.empty()) commands.Add("ignore", ListText(p.commands.ignore));
  if (!p.commands.nak.empty()) commands.Add("nak", ListText(p.commands.nak));
  if (!p.commands.silent.empty()) commands.Add("silent", ListText(p.commands.silent));
  commands.AppendTo(out);

  TableText status("status");
  status.AddInt("bytes", p.status.bytes, 16);
  status.AddBool("local", p.status.local);
  for (const StatusBitName& bit : StatusBitNames()) {
    status.AddBool(std::string(bit.name), p.status.bits.count(std::string(bit.name)) != 0);
  }
  status.AppendTo(out);

  TableText faults("faults");
  faults.AddInt("drop_every", p.faults.dropEvery);
  faults.AddInt("bad_checksum_every", p.faults.badChecksumEvery);
  faults.AddInt("late_every", p.faults.lateEvery);
  faults.AddMs("late_ms", p.faults.lateUs);
  faults.AddInt("split_every", p.faults.splitEvery);
  faults.AddMs("split_gap_ms", p.faults.splitGapUs);
  faults.AddInt("swallow_first", p.faults.swallowFirst);
  faults.AddInt("garbage_every", p.faults.garbageEvery);
  faults.AppendTo(out);
  return out;
}

std::string DescribePersonality(const Personality& p) {
  std::string text = p.name;
  std::vector<std::string> parts;
  if (p.timing.replyDelayUs || p.timing.replyJitterUs) {
    parts.push_back("delay " + MsText(p.timing.replyDelayUs) + "+" +
                    MsText(p.timing.replyJitterUs) + " ms");
  }
  if (p.timing.byteTimeUs) parts.push_back("byte " + std::to_string(p.timing.byteTimeUs) + " us");
  if (p.timing.receiveTimeoutUs) {
    parts.push_back("receive time-out " + MsText(p.timing.receiveTimeoutUs) + " ms");
  }
  if (p.errors.nakChecksum) parts.push_back("NAK checksum");
  if (p.errors.nakTimeout) parts.push_back("NAK time-out");
  if (p.errors.nakUndefined) parts.push_back("NAK undefined");
  if (p.commands.accept) parts.push_back(std::to_string(p.commands.accept->size()) + " accepted");
  if (p.status.local) parts.push_back("local");
  if (p.status.bytes != 16) parts.push_back(std::to_string(p.status.bytes) + " status bytes");
  const PersonalityCommands& commands = p.commands;
  if (!commands.ignore.empty() || !commands.nak.empty() || !commands.silent.empty()) {
    parts.push_back("refusals");
  }
  if (!(p.faults == PersonalityFaults{})) parts.push_back("faults");
  if (!(p.identity == PersonalityIdentity{})) parts.push_back("identity");
  for (const std::string& bit : p.status.bits) parts.push_back(bit);
  if (parts.empty()) parts.push_back("plain machine");
  for (std::size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? " (" : ", ") + parts[i];
  return parts.empty() ? text : text + ")";
}
