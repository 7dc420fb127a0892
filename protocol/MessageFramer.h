// Cuts one direction of a 9-pin byte stream into frames without losing or changing a byte: each
// complete message with a good checksum is one frame; bytes that do not start one are gathered
// and handed out marked, before the next good message or when the line has been quiet for
// kQuietGap. Used where a stream is watched or passed on (capture, bridge, replay), not where a
// machine answers (that is ExtractMessage's job, with its own rules).
//
// Push(bytes, at) takes the bytes of one read and the time they arrived; Flush(now) hands out
// what has waited past the gap. Both return frames in stream order. Concatenating the bytes of
// every frame ever returned gives back the stream exactly.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "Clock.h"

enum class FrameKind : uint8_t {
  Message,      // a complete message with a good checksum
  BadChecksum,  // as many bytes as their first byte announces, with a wrong checksum
  Debris,       // bytes that are neither
};

struct Frame {
  std::vector<uint8_t> bytes;
  FrameKind kind = FrameKind::Message;
  Micros firstByte{0};  // arrival of the first and the last byte
  Micros lastByte{0};
};

class MessageFramer {
 public:
  // A message arrives in one burst: bytes left incomplete this long after the last one came are
  // no message.
  static constexpr Micros kQuietGap{20000};
  // Debris is handed out at this size at the latest.
  static constexpr std::size_t kMaxDebris = 64;

  std::vector<Frame> Push(std::span<const uint8_t> bytes, Micros at);
  std::vector<Frame> Flush(Micros now);
  // Whether bytes wait for more.
  bool Pending() const { return !buffer_.empty(); }

 private:
  struct Byte {
    uint8_t value;
    Micros at;
  };
  void Cut(std::vector<Frame>& out, bool final);
  bool GoodMessageAt(std::size_t at) const;
  bool GoodMessageAfter(std::size_t at) const;
  void EmitDebris(std::vector<Frame>& out);

  std::vector<Byte> buffer_;  // bytes not yet handed out
  std::vector<Byte> debris_;  // skipped bytes waiting to be handed out
};
