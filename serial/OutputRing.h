// The output ring of an open port (OutSize bytes). The owner puts whole strings or nothing;
// the port takes contiguous runs when the device has room and releases what it accepted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class OutputRing {
 public:
  explicit OutputRing(std::size_t size) : bytes_(size) {}

  // Queues all of `data`, or nothing (false) when it does not fit the free space.
  bool Put(const uint8_t* data, std::size_t size);
  // The oldest contiguous run of queued bytes; its size is 0 when nothing is queued. The run
  // stays valid until Release, which ignores a run taken before a DropAll.
  struct Run {
    const uint8_t* bytes = nullptr;
    std::size_t size = 0;
    uint64_t drops = 0;
  };
  Run NextRun() const;
  void Release(const Run& run, std::size_t count);
  // Forgets everything queued.
  void DropAll();
  std::size_t Queued() const;
  std::size_t Capacity() const { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t head_ = 0;
  uint64_t tail_ = 0;
  uint64_t drops_ = 0;
};
