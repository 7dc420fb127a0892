#include "BlockCopy.h"

#include "ZMModel.h"

namespace vyo {

bool CopyIntoBlock(uint8_t* block, std::size_t size, uint8_t* const* buffer, uint8_t src,
                   uint8_t dst, uint8_t count, bool* changed) {
  if (buffer == nullptr || *buffer == nullptr || std::size_t{dst} + count > size) return false;
  const uint8_t* source = *buffer;
  bool differed = false;
  for (int i = 0; i < count; ++i) {
    const uint8_t value = source[uint8_t(src + i)];
    uint8_t& target = block[dst + i];
    if (Load(target) != value) differed = true;
    Store(target, value);
  }
  if (changed != nullptr) *changed = differed;
  return true;
}

bool CopyFromBlock(const uint8_t* block, std::size_t size, uint8_t* const* buffer, uint8_t src,
                   uint8_t dst, uint8_t count) {
  if (buffer == nullptr || *buffer == nullptr || std::size_t{src} + count > size) return false;
  uint8_t* target = *buffer;
  for (int i = 0; i < count; ++i) target[uint8_t(dst + i)] = Load(block[src + i]);
  return true;
}

}  // namespace vyo
