#include "ReceiveRing.h"

#include <algorithm>

std::size_t ReceiveRing::Free() const { return kSize - static_cast<std::size_t>(head_ - tail_); }

std::size_t ReceiveRing::Append(const uint8_t* data, std::size_t size) {
  const std::size_t taken = std::min(size, kSize - static_cast<std::size_t>(head_ - tail_));
  for (std::size_t i = 0; i < taken; ++i) bytes_[(head_ + i) % kSize] = data[i];
  head_ += taken;
  return taken;
}

std::size_t ReceiveRing::Waiting() const { return static_cast<std::size_t>(head_ - tail_); }

bool ReceiveRing::Peek(std::size_t offset, uint8_t& byte) const {
  if (offset >= head_ - tail_) return false;
  byte = bytes_[(tail_ + offset) % kSize];
  return true;
}

void ReceiveRing::Consume(std::size_t count) { tail_ += std::min<uint64_t>(count, head_ - tail_); }

void ReceiveRing::DiscardAll() {
  tail_ = head_;
  reported_ = head_;
}

void ReceiveRing::MarkForDiscard() { discardMark_ = head_; }

void ReceiveRing::DiscardMarked() {
  tail_ = std::max(tail_, discardMark_);
  reported_ = std::max(reported_, discardMark_);
}

bool ReceiveRing::TakeNewData(uint16_t& count) {
  if (head_ <= reported_ || head_ == tail_) return false;
  reported_ = head_;
  count = static_cast<uint16_t>(head_ - tail_);
  return true;
}

void ReceiveRing::Unreport(uint64_t reportedBefore) {
  reported_ = std::min(reported_, reportedBefore);
}

uint64_t ReceiveRing::Reported() const { return reported_; }
