#include "ArmingKeys.h"

namespace arming {

namespace {

bool Bit(uint8_t byte, int bit) { return ((byte >> bit) & 1) != 0; }

bool Armed(const InsertRule& rule, uint8_t preset, const TrackBytes& bytes) {
  if ((preset & sony::kPresetAudioVideo) != 0) return true;
  for (int i = 0; i < rule.armingBytes && i < kTrackBytes; ++i) {
    if (bytes[static_cast<std::size_t>(i)] != 0) return true;
  }
  return false;
}

}  // namespace

int BankOffset(int bank) { return kBytesPerBank * bank; }

int NextBank(int bank) { return (bank + 1) % kBanks; }

std::string BankCaption(int bank) {
  const int first = bank * kTrackKeys + 1;
  return std::to_string(first) + "-" + std::to_string(first + kTrackKeys - 1);
}

std::string TrackCaption(int bank, int key) { return std::to_string(bank * kTrackKeys + key + 1); }

void StoreBank(const TrackKeys& lit, int bank, TrackBytes& bytes) {
  for (int b = 0; b < kBytesPerBank; ++b) {
    uint8_t byte = 0;
    for (int bit = 0; bit < kKeysPerByte; ++bit) {
      if (lit[static_cast<std::size_t>(b * kKeysPerByte + bit)])
        byte = static_cast<uint8_t>(byte | (1u << bit));
    }
    bytes[static_cast<std::size_t>(BankOffset(bank) + b)] = byte;
  }
}

TrackKeys BankKeys(const TrackBytes& bytes, int bank) {
  TrackKeys lit{};
  for (int key = 0; key < kTrackKeys; ++key) {
    const uint8_t byte = bytes[static_cast<std::size_t>(BankOffset(bank) + key / kKeysPerByte)];
    lit[static_cast<std::size_t>(key)] = Bit(byte, key % kKeysPerByte);
  }
  return lit;
}

uint8_t PresetFromKeys(const FunctionKeys& lit) {
  uint8_t preset = 0;
  for (int bit = 0; bit <= kAssembleKey; ++bit) {
    if (lit[static_cast<std::size_t>(bit)]) preset = static_cast<uint8_t>(preset | (1u << bit));
  }
  return preset;
}

FunctionKeys KeysFromPreset(uint8_t preset) {
  FunctionKeys lit{};
  for (int bit = 0; bit < kFunctionKeys; ++bit)
    lit[static_cast<std::size_t>(bit)] = Bit(preset, bit);
  return lit;
}

bool ApplyInsertRule(const InsertRule& rule, const FunctionKeys& lit, uint8_t& preset,
                     const TrackBytes& bytes) {
  bool insert = lit[kInsertKey];
  if (!lit[kAssembleKey]) {
    insert = Armed(rule, preset, bytes);
  } else if (rule.assembleDarkensInsert) {
    insert = false;
  }
  if (insert) {
    preset = static_cast<uint8_t>(preset | sony::kPresetInsert);
  } else if (rule.darkInsertClearsBit) {
    preset = static_cast<uint8_t>(preset & ~sony::kPresetInsert);
  }
  return insert;
}

}  // namespace arming
