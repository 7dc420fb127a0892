#include "SettingsRecord.h"

#include <algorithm>
#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "the settings image is the in-memory record; a big-endian host needs byte swaps");

SettingsRecord::Image SettingsRecord::ToBytes() const {
  Image image{};
  std::memcpy(image.data(), this, kSize);
  return image;
}

void SettingsRecord::FillFrom(std::span<const uint8_t> bytes) {
  Image image = ToBytes();
  std::copy_n(bytes.begin(), std::min(bytes.size(), kSize), image.begin());
  std::memcpy(static_cast<void*>(this), image.data(), kSize);
}
