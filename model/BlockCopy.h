// Byte-wise copies between a caller's buffer and a block of the model. Indices into the caller's
// buffer wrap at 256 (they are bytes); a copy that would leave the model's block is refused whole.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyo {

// Copies count bytes from buffer[src + i] into block[dst + i]. False (nothing copied) when the
// buffer is missing or dst + count exceeds size. changed tells whether any block byte differed.
bool CopyIntoBlock(uint8_t* block, std::size_t size, uint8_t* const* buffer, uint8_t src,
                   uint8_t dst, uint8_t count, bool* changed = nullptr);

// Copies count bytes from block[src + i] into buffer[dst + i]. False (nothing copied) when the
// buffer is missing or src + count exceeds size.
bool CopyFromBlock(const uint8_t* block, std::size_t size, uint8_t* const* buffer, uint8_t src,
                   uint8_t dst, uint8_t count);

}  // namespace vyo
