#include "Personality.h"

#include <cctype>

#include "SonyCommands.h"

namespace {

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return std::nullopt;
}

struct PatternByte {
  uint8_t value;
  uint8_t mask;
};

// "2F" exact, "2x" the high nibble only, "*" anything.
std::optional<PatternByte> ParsePatternByte(std::string_view token) {
  if (token == "*") return PatternByte{0, 0};
  if (token.size() != 2) return std::nullopt;
  const auto high = HexDigit(token[0]);
  if (!high) return std::nullopt;
  if (token[1] == 'x' || token[1] == 'X')
    return PatternByte{static_cast<uint8_t>(*high << 4), 0xF0};
  const auto low = HexDigit(token[1]);
  if (!low) return std::nullopt;
  return PatternByte{static_cast<uint8_t>(*high << 4 | *low), 0xFF};
}

std::string PatternByteText(uint8_t value, uint8_t mask) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  if (mask == 0) return "*";
  if (mask == 0xF0) return {kDigits[value >> 4], 'x'};
  return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

std::vector<std::string_view> Tokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t') {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
    tokens.push_back(text.substr(start, i - start));
  }
  return tokens;
}

std::vector<CommandPattern> Patterns(std::initializer_list<std::string_view> texts) {
  std::vector<CommandPattern> patterns;
  for (std::string_view text : texts) patterns.push_back(*ParseCommandPattern(text));
  return patterns;
}

// The commands a tape deck of the common 9-pin command set knows: system, transport, preset and
// sense groups; none of the family's own 8x or Cx requests.
std::vector<CommandPattern> DeckCommands() { return Patterns({"0x *", "2x *", "4x *", "6x *"}); }

Personality Ideal() { return Personality{}; }

// A broadcast tape deck as editors meet it: answers in 2 to 3 ms, bytes paced at 38400 baud,
// drops a half-received message after 10 ms and NAKs it, NAKs a bad checksum and any command
// outside the common set, and reports ten status bytes.
Personality BroadcastVtr() {
  Personality p;
  p.name = "broadcast-vtr";
  p.timing.replyDelayUs = 2000;
  p.timing.replyJitterUs = 1000;
  p.timing.byteTimeUs = 286;
  p.timing.receiveTimeoutUs = 10000;
  p.errors = {true, true, true};
  p.commands.accept = DeckCommands();
  p.status.bytes = 10;
  p.status.bits = {"servo_lock"};
  return p;
}

// A hard-disk recorder: answers at once (within 1 ms), NAKs every command it does not know with
// "undefined", including the family's own requests; bad checksums are NAKed too.
Personality DiskRecorder() {
  Personality p;
  p.name = "disk-recorder";
  p.timing.replyDelayUs = 500;
  p.timing.replyJitterUs = 500;
  p.timing.receiveTimeoutUs = 10000;
  p.errors = {true, true, true};
  p.commands.accept = DeckCommands();
  return p;
}

// A deck with its remote switch on local: every query is answered, transport and preset commands
// are ACKed and ignored, S0 bit 0 reports it.
Personality LocalDeck() {
  Personality p = BroadcastVtr();
  p.name = "local-deck";
  p.status.local = true;
  return p;
}

// A long or noisy line: every 7th reply arrives with a bad checksum, every 11th has a stray byte
// before it, every 13th is lost.
Personality FlakyLine() {
  Personality p;
  p.name = "flaky-line";
  p.faults.badChecksumEvery = 7;
  p.faults.garbageEvery = 11;
  p.faults.dropEvery = 13;
  return p;
}

}  // namespace

std::string CommandPattern::Text() const {
  return PatternByteText(cmd1, cmd1Mask) + " " + PatternByteText(cmd2, cmd2Mask);
}

std::optional<CommandPattern> ParseCommandPattern(std::string_view text) {
  const auto tokens = Tokens(text);
  if (tokens.empty() || tokens.size() > 2) return std::nullopt;
  const auto first = ParsePatternByte(tokens[0]);
  const auto second = tokens.size() == 2 ? ParsePatternByte(tokens[1]) : PatternByte{0, 0};
  if (!first || !second) return std::nullopt;
  return CommandPattern{first->value, first->mask, second->value, second->mask};
}

std::string CommandRefusal::Text() const {
  return command.Text() + " = " + PatternByteText(bits, 0xFF);
}

std::optional<CommandRefusal> ParseCommandRefusal(std::string_view text) {
  const auto equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  const auto command = ParseCommandPattern(text.substr(0, equals));
  const auto bitTokens = Tokens(text.substr(equals + 1));
  if (!command || bitTokens.size() != 1) return std::nullopt;
  const auto bits = ParsePatternByte(bitTokens[0]);
  if (!bits || bits->mask != 0xFF || bits->value == 0) return std::nullopt;
  return CommandRefusal{*command, bits->value};
}

const std::vector<StatusBitName>& StatusBitNames() {
  using namespace sony;
  static const std::vector<StatusBitName> names = {
      {"tape_out", 0, kS0TapeOut},   {"standby", 1, kS1Standby},
      {"cue_up", 2, kS2CueUp},       {"still", 2, kS2Still},
      {"reverse", 2, kS2Reverse},    {"servo_lock", 2, kS2ServoLock},
      {"in_stored", 3, kS3InStored}, {"out_stored", 3, kS3OutStored},
      {"full_ee", 4, kS4FullEe},     {"rec_inhibit", 8, kS8RecInhibit},
  };
  return names;
}

const StatusBitName* FindStatusBit(std::string_view name) {
  for (const StatusBitName& bit : StatusBitNames()) {
    if (bit.name == name) return &bit;
  }
  return nullptr;
}

const std::vector<Personality>& BuiltInPersonalities() {
  static const std::vector<Personality> all = {Ideal(), BroadcastVtr(), DiskRecorder(), LocalDeck(),
                                               FlakyLine()};
  return all;
}

const Personality* FindBuiltInPersonality(std::string_view name) {
  for (const Personality& p : BuiltInPersonalities()) {
    if (p.name == name) return &p;
  }
  return nullptr;
}
