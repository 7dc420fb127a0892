#include "OutputRing.h"

#include <algorithm>

bool OutputRing::Put(const uint8_t* data, std::size_t size) {
  if (size > bytes_.size() - (head_ - tail_)) return false;
  for (std::size_t i = 0; i < size; ++i) bytes_[(head_ + i) % bytes_.size()] = data[i];
  head_ += size;
  return true;
}

OutputRing::Run OutputRing::NextRun() const {
  const std::size_t start = tail_ % bytes_.size();
  return {bytes_.data() + start, std::min<std::size_t>(head_ - tail_, bytes_.size() - start),
          drops_};
}

void OutputRing::Release(const Run& run, std::size_t count) {
  if (run.drops != drops_) return;
  tail_ += std::min<uint64_t>(count, head_ - tail_);
}

void OutputRing::DropAll() {
  tail_ = head_;
  ++drops_;
}

std::size_t OutputRing::Queued() const { return static_cast<std::size_t>(head_ - tail_); }
