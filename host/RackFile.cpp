#include "RackFile.h"

#include <toml++/toml.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "CaptureFile.h"
#include "PersonalityFile.h"

namespace {

std::string TooMany(int count) {
  return "a rack holds at most " + std::to_string(kMaxRackMachines) + " machines, not " +
         std::to_string(count);
}

class EntryReader {
 public:
  EntryReader(const std::string& source, int index) : source_(source), index_(index) {}

  RackEntry Read(const toml::table& table, const toml::node& where) {
    RackEntry entry;
    entry.name = "vtr" + std::to_string(index_);
    // The name first, so that every later error names the entry as the user knows it.
    if (const toml::node* name = table.get("name")) entry.name = Name(*name);
    for (const auto& [key, node] : table) {
      const std::string_view k = key.str();
      if (k == "name") continue;
      if (k == "port")
        entry.port = Text(node, "port");
      else if (k == "machine")
        entry.machine = Int(node, "machine", 0, 16);
      else if (k == "standard")
        entry.standard = Int(node, "standard", 0, 3);
      else if (k == "personality")
        Load(entry, node);
      else
        Fail(node, std::string(k), "unknown key (name, port, machine, standard, personality)");
    }
    if (entry.port.empty()) Fail(where, "port", "missing: every machine needs its port");
    return entry;
  }

  [[noreturn]] void Fail(const toml::node& node, const std::string& key, const std::string& what) {
    std::string entry = "machine " + std::to_string(index_);
    if (!name_.empty()) entry += " (\"" + name_ + "\")";
    throw RackError(source_ + ":" + std::to_string(node.source().begin.line) + ": " + entry + ": " +
                    key + ": " + what);
  }

 private:
  std::string Name(const toml::node& node) {
    const auto text = node.value_exact<std::string>();
    // The name labels the machine's lines in a capture, beside ports A and B.
    if (!text || !IsCaptureLabel(*text))
      Fail(node, "name", "expected a name of 1 to 32 characters without spaces");
    if (*text == "A" || *text == "B")
      Fail(node, "name", "A and B are the names of ports A and B in a capture");
    name_ = *text;
    return *text;
  }

  void Load(RackEntry& entry, const toml::node& node) {
    entry.personality = Text(node, "personality");
    try {
      entry.rules = LoadPersonality(*entry.personality);
    } catch (const std::exception& e) {
      Fail(node, "personality", e.what());
    }
  }

  std::string Text(const toml::node& node, const std::string& key) {
    const auto text = node.value_exact<std::string>();
    if (!text || text->empty()) Fail(node, key, "expected a non-empty string");
    return *text;
  }

  int Int(const toml::node& node, const std::string& key, int low, int high) {
    const auto value = node.value_exact<int64_t>();
    if (!value || *value < low || *value > high)
      Fail(node, key,
           "expected a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    return static_cast<int>(*value);
  }

  const std::string& source_;
  int index_;
  std::string name_;
};

// Two machines cannot share a port, and rows and log lines are told apart by the name.
void CheckDistinct(const std::vector<RackEntry>& rack, const std::string& source) {
  std::map<std::string, std::size_t> names;
  std::map<std::string, std::size_t> ports;
  for (std::size_t i = 0; i < rack.size(); ++i) {
    const std::string entry = "machine " + std::to_string(i + 1) + " (\"" + rack[i].name + "\")";
    if (const auto [it, fresh] = names.emplace(rack[i].name, i); !fresh)
      throw RackError(source + ": " + entry + ": name: already the name of machine " +
                      std::to_string(it->second + 1));
    if (const auto [it, fresh] = ports.emplace(rack[i].port, i); !fresh)
      throw RackError(source + ": " + entry + ": port: \"" + rack[i].port +
                      "\" is already the port of machine " + std::to_string(it->second + 1));
  }
}

}  // namespace

std::vector<RackEntry> ParseRack(std::string_view text, const std::string& source) {
  toml::table root;
  try {
    root = toml::parse(text, source);
  } catch (const toml::parse_error& e) {
    throw RackError(source + ":" + std::to_string(e.source().begin.line) + ": " +
                    std::string(e.description()));
  }
  const toml::array* machines = nullptr;
  for (const auto& [key, node] : root) {
    if (key.str() != "machine" || !node.is_array_of_tables())
      throw RackError(source + ":" + std::to_string(node.source().begin.line) + ": " +
                      std::string(key.str()) + ": unknown key (a rack holds [[machine]] tables)");
    machines = node.as_array();
  }
  if (machines == nullptr || machines->empty())
    throw RackError(source + ": no [[machine]] table: a rack needs at least one machine");
  if (machines->size() > static_cast<std::size_t>(kMaxRackMachines))
    throw RackError(source + ": " + TooMany(static_cast<int>(machines->size())));
  std::vector<RackEntry> rack;
  for (const toml::node& node : *machines)
    rack.push_back(
        EntryReader(source, static_cast<int>(rack.size()) + 1).Read(*node.as_table(), node));
  CheckDistinct(rack, source);
  return rack;
}

std::vector<RackEntry> ReadRackFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw RackError(path + ": cannot read the rack file");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseRack(text.str(), path);
}

bool IsRackCount(const std::string& arg) {
  return !arg.empty() && arg.size() <= 4 &&
         std::all_of(arg.begin(), arg.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<RackEntry> LoadRack(const std::string& arg,
                                const std::optional<std::string>& portPattern, int machine,
                                int standard, const std::optional<std::string>& personality) {
  if (!IsRackCount(arg)) return ReadRackFile(arg);
  if (!portPattern)
    throw RackError("--rack " + arg + " needs --port-a with {n} in it, e.g. 'pty:/tmp/vtr{n}'");
  return ShorthandRack(std::stoi(arg), *portPattern, machine, standard, personality);
}

std::vector<RackEntry> ShorthandRack(int count, const std::string& portPattern, int machine,
                                     int standard, const std::optional<std::string>& personality) {
  if (count < 1 || count > kMaxRackMachines) throw RackError(TooMany(count));
  const std::string mark = "{n}";
  const std::size_t at = portPattern.find(mark);
  if (at == std::string::npos && count > 1)
    throw RackError("--port-a \"" + portPattern + "\" needs {n} for the machine's number");
  std::optional<Personality> rules;
  if (personality) rules = LoadPersonality(*personality);
  std::vector<RackEntry> rack;
  for (int n = 1; n <= count; ++n) {
    RackEntry entry;
    entry.name = "vtr" + std::to_string(n);
    entry.port = portPattern;
    if (at != std::string::npos) entry.port.replace(at, mark.size(), std::to_string(n));
    entry.machine = machine;
    entry.standard = standard;
    entry.personality = personality;
    entry.rules = rules;
    rack.push_back(std::move(entry));
  }
  return rack;
}
