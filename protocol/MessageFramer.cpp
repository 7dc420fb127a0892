#include "MessageFramer.h"

#include "SonyCommands.h"

namespace {

Frame MakeFrame(auto first, auto last, FrameKind kind) {
  Frame frame;
  frame.kind = kind;
  frame.firstByte = first->at;
  frame.lastByte = (last - 1)->at;
  for (auto it = first; it != last; ++it) frame.bytes.push_back(it->value);
  return frame;
}

}  // namespace

std::vector<Frame> MessageFramer::Push(std::span<const uint8_t> bytes, Micros at) {
  std::vector<Frame> out;
  // Bytes after a quiet line start afresh: what waited is not the head of a message.
  if (!buffer_.empty() && at - buffer_.back().at >= kQuietGap) Cut(out, true);
  for (uint8_t b : bytes) buffer_.push_back({b, at});
  Cut(out, false);
  return out;
}

std::vector<Frame> MessageFramer::Flush(Micros now) {
  std::vector<Frame> out;
  if (!buffer_.empty() && now - buffer_.back().at >= kQuietGap) Cut(out, true);
  return out;
}

bool MessageFramer::GoodMessageAt(std::size_t at) const {
  const std::size_t length = static_cast<std::size_t>(sony::MessageLength(buffer_[at].value));
  if (buffer_.size() - at < length) return false;
  uint8_t message[sony::kMaxMessage];
  for (std::size_t i = 0; i < length; ++i) message[i] = buffer_[at + i].value;
  return sony::Checksum(message, length - 1) == message[length - 1];
}

bool MessageFramer::GoodMessageAfter(std::size_t at) const {
  for (std::size_t k = at + 1; k < buffer_.size(); ++k) {
    if (GoodMessageAt(k)) return true;
  }
  return false;
}

// Takes good messages off the front of the buffer; a start that fails slides one byte into the
// debris. With `final`, bytes too few for their message are debris too.
void MessageFramer::Cut(std::vector<Frame>& out, bool final) {
  std::size_t at = 0;
  while (at < buffer_.size()) {
    const std::size_t length = static_cast<std::size_t>(sony::MessageLength(buffer_[at].value));
    if (buffer_.size() - at < length) {
      // Need more bytes. While resynchronising after a failed start, a good message that already
      // follows shows this start to be debris too.
      if (!final && (debris_.empty() || !GoodMessageAfter(at))) break;
      debris_.push_back(buffer_[at++]);
      continue;
    }
    if (GoodMessageAt(at)) {
      EmitDebris(out);  // what came before the message goes first
      const auto first = buffer_.begin() + static_cast<std::ptrdiff_t>(at);
      out.push_back(
          MakeFrame(first, first + static_cast<std::ptrdiff_t>(length), FrameKind::Message));
      at += length;
    } else {
      debris_.push_back(buffer_[at++]);  // slide one byte
      if (debris_.size() >= kMaxDebris) EmitDebris(out);
    }
  }
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(at));
  if (final) EmitDebris(out);
}

// Skipped bytes as one frame: a bad checksum when they are exactly the message their first byte
// announces, else debris.
void MessageFramer::EmitDebris(std::vector<Frame>& out) {
  if (debris_.empty()) return;
  const bool oneMessage =
      debris_.size() == static_cast<std::size_t>(sony::MessageLength(debris_.front().value));
  out.push_back(MakeFrame(debris_.begin(), debris_.end(),
                          oneMessage ? FrameKind::BadChecksum : FrameKind::Debris));
  debris_.clear();
}
