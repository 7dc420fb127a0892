// What every protocol fuzz target checks its subject against: the checksum, whether bytes are
// one well-framed message, and a plain queue model of the receive rules of a port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "FuzzCheck.h"

inline uint8_t SumOf(std::span<const uint8_t> bytes) {
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  return sum;
}

// Exactly one message: N+3 bytes with N the low nibble of CMD-1, ending in its checksum.
inline bool WellFramed(std::span<const uint8_t> bytes) {
  if (bytes.size() < 3) return false;
  const std::size_t length = (bytes[0] & 0x0Fu) + 3u;
  return bytes.size() == length && SumOf(bytes.first(length - 1)) == bytes[length - 1];
}

// The receive rules as a queue of the bytes held: a burst over 30 bytes is refused; bytes that
// would make more than 30 held drop the held ones first; a message is taken when whole and
// checked, otherwise the queue slides by one byte and one checksum error is counted.
class ReceiveModel {
 public:
  bool Receive(std::span<const uint8_t> bytes) {
    if (bytes.size() > 30) return false;
    if (held_.size() + bytes.size() > 30) held_.clear();
    held_.insert(held_.end(), bytes.begin(), bytes.end());
    return true;
  }

  // The next message, or an empty vector when none is whole yet.
  std::vector<uint8_t> Extract() {
    while (!held_.empty()) {
      const std::size_t length = (held_[0] & 0x0Fu) + 3u;
      if (held_.size() < length) break;
      const std::vector<uint8_t> candidate(held_.begin(),
                                           held_.begin() + static_cast<long>(length));
      if (WellFramed(candidate)) {
        held_.erase(held_.begin(), held_.begin() + static_cast<long>(length));
        return candidate;
      }
      held_.pop_front();
      ++errors_;
    }
    return {};
  }

  std::size_t Held() const { return held_.size(); }
  uint8_t Errors() const { return errors_; }

 private:
  std::deque<uint8_t> held_;
  uint8_t errors_ = 0;
};
