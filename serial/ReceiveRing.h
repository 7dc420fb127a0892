// The 8192-byte receive ring of an open port. The port appends; the owner peeks
// during a data event and consumes only what its handler read. The ring also remembers up to
// where a data event has been raised, so the next one comes only when more bytes arrive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class ReceiveRing {
 public:
  static constexpr std::size_t kSize = 8192;

  ReceiveRing() : bytes_(kSize) {}

  std::size_t Free() const;
  // Appends up to Free() bytes; returns how many were taken.
  std::size_t Append(const uint8_t* data, std::size_t size);

  std::size_t Waiting() const;
  // The byte `offset` places after the read position; false when there is none.
  bool Peek(std::size_t offset, uint8_t& byte) const;
  void Consume(std::size_t count);
  void DiscardAll();
  // A client left: what has arrived so far is to be thrown away. The owner does
  // so with DiscardMarked, between its data events, keeping what came after the mark.
  void MarkForDiscard();
  void DiscardMarked();

  // When bytes arrived since the last data event: marks them reported and gives the number of
  // bytes waiting (the unread ones of earlier events included).
  bool TakeNewData(uint16_t& count);
  // The event for the last TakeNewData never reached the owner: report those bytes again.
  void Unreport(uint64_t reportedBefore);
  uint64_t Reported() const;

 private:
  std::vector<uint8_t> bytes_;
  uint64_t head_ = 0;      // bytes appended since open
  uint64_t tail_ = 0;      // bytes consumed since open
  uint64_t reported_ = 0;  // head_ when the last data event was raised
  uint64_t discardMark_ = 0;
};
