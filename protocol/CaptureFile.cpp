#include "CaptureFile.h"

#include <cstdio>

#include "sonyname.h"

namespace {

const char* KindWord(FrameKind kind) {
  switch (kind) {
    case FrameKind::Message:
      return "msg";
    case FrameKind::BadChecksum:
      return "bad";
    case FrameKind::Debris:
      return "debris";
  }
  return "debris";
}

// "12.345678": seconds with microseconds; negative times do not occur in a capture.
std::string SecondsText(Micros time) {
  const long long us = time.count() < 0 ? 0 : static_cast<long long>(time.count());
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%06lld", us / 1000000, us % 1000000);
  return text;
}

}  // namespace

std::string DecodeFrame(MessageDecoder& decoder, const Frame& frame) {
  if (frame.kind == FrameKind::Debris) return "debris";
  return decoder.Decode(frame.bytes);
}

std::string CaptureLines::Line(char port, Direction direction, const Frame& frame) {
  CaptureRecord record;
  record.time = frame.firstByte - origin_;
  record.port = port;
  record.direction = direction;
  record.kind = frame.kind;
  record.bytes = frame.bytes;
  record.text = DecodeFrame(decoders_[port], frame);
  return FormatCaptureLine(record);
}

CaptureWriter::CaptureWriter(std::ostream& out, Micros origin) : out_(out), lines_(origin) {
  out_ << kCaptureVersionLine << '\n';
}

std::string CaptureWriter::Write(char port, Direction direction, const Frame& frame) {
  std::string line = lines_.Line(port, direction, frame);
  out_ << line << '\n';
  return line;
}

std::string FormatCaptureLine(const CaptureRecord& record) {
  std::string line = SecondsText(record.time);
  line += ' ';
  line += record.port;
  line += record.direction == Direction::Rx ? " rx " : " tx ";
  line += KindWord(record.kind);
  line += ' ';
  line += HexBytes(record.bytes);  // each byte is followed by a space
  line += "| ";
  line += record.text;
  return line;
}
