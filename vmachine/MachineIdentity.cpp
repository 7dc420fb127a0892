#include "MachineIdentity.h"

#include <cctype>
#include <charconv>

#include "sonyname.h"

namespace {

constexpr std::array<MachineIdentity, kMachineTypes> kIdentities{{
    {"DA881", "DA88", {0xF0, 0x1D}, false},
    {"BVU9501", "BVU950", {0x10, 0x1C}, false},
    {"N3348HR1", "3348HR", {0x60, 0x05}, false},
    {"VirtualVTR1", "Virtual VTR", {0xA0, 0x4D}, false},
    {"Nuendo1", "Nuendo", {0xD0, 0xFA}, false},
    {"ProTools1", "Pro-Tools", {0xD0, 0xE1}, false},
    {"Bonsai1", "Bonsai", {0x30, 0xE0}, false},
    {"AVID", "AVID", {0xD0, 0xA8}, false},
    {"ZQVirtual1", "ZQ Virtual", {0x00, 0xB2}, false},
    {"Merging1", "Pyramix", {0xF0, 0xB2}, false},
    {"Kestrel1", "Kestrel", {0xD0, 0xF8}, false},
    {"MMR81", "MMR-8", {0x1A, 0xC1}, true},
    {"Mx24241", "Mx2424", {0x1A, 0xC4}, true},
    {"XDubber1", "X-Dubber", {0xE0, 0x20}, false},
    {"A5001", "A500", {0xB0, 0x00}, false},
    {"SRW5K1", "SRW-5K", {0x20, 0xA0}, false},
    {"EVSDD351", "EVS DD35", {0xF8, 0x4D}, false},
}};

// Indexed by standard code.
constexpr std::array<StandardInfo, 4> kStandards{{
    {"PAL251", "EBU", "EBU", 60},
    {"SMPTENonDrop1", "SMPTE Non Drop", "SMPTE", 45},
    {"N24P1", "24P", "24P", 65},
    {"SMPTEDrop1", "SMPTE Drop", "Drop", 45},
}};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

// Digits only, the whole text, within 32 bits (hexadecimal may use all 32 bits).
std::optional<int64_t> ParseMagnitude(std::string_view digits) {
  const bool dollar = digits.starts_with('$');
  const bool cStyle = digits.starts_with("0x") || digits.starts_with("0X");
  const bool hex = dollar || cStyle;
  digits.remove_prefix(dollar ? 1 : cStyle ? 2 : 0);
  if (digits.empty() || digits.front() == '-' || digits.front() == '+') return std::nullopt;
  uint64_t value = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (hex) {
    if (value > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(value)));
  }
  if (value > 0x80000000u) return std::nullopt;
  return static_cast<int64_t>(value);
}

}  // namespace

const MachineIdentity& IdentityOf(int machineType) {
  return kIdentities.at(static_cast<std::size_t>(machineType));
}

const StandardInfo& StandardOf(uint8_t standard) {
  return kStandards[standard <= 2 ? standard : 3];
}

bool IsMcnNoTag(int tag) { return tag >= 0 && tag <= 4; }

bool IsTracksTag(int tag) { return tag >= 0 && tag <= 64 && tag % 16 == 0; }

std::string DeviceIdText(const std::array<uint8_t, 2>& deviceId) {
  return "$" + HexByte(deviceId[0]) + HexByte(deviceId[1]);
}

std::optional<int32_t> ParseWholeNumber(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const std::optional<int64_t> magnitude = ParseMagnitude(text);
  if (!magnitude) return std::nullopt;
  const int64_t value = negative ? -*magnitude : *magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::array<uint8_t, 2> DeviceIdFromValue(int32_t value) {
  const auto high = static_cast<uint8_t>((value / 256) & 0xFF);
  const auto low = static_cast<uint8_t>(value & 0xFF);
  return {high, low};
}
