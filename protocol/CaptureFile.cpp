#include "CaptureFile.h"

#include <algorithm>
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

std::string CaptureVersionLine(int version) {
  return "# selkietest capture " + std::to_string(version);
}

int CaptureVersionOf(const std::string& line) {
  for (int version = 1; version <= kCaptureVersionNow; ++version)
    if (line == CaptureVersionLine(version)) return version;
  return 0;
}

bool IsCaptureLabel(const std::string& label) {
  return !label.empty() && label.size() <= 32 &&
         std::all_of(label.begin(), label.end(), [](char c) { return c > ' ' && c != 127; });
}

int CaptureVersionFor(const std::vector<CaptureRecord>& records) {
  const bool portsOnly = std::all_of(records.begin(), records.end(), [](const CaptureRecord& r) {
    return r.port == "A" || r.port == "B";
  });
  return portsOnly ? 1 : 2;
}

std::string CaptureLines::Line(const std::string& port, Direction direction, const Frame& frame) {
  CaptureRecord record;
  record.time = frame.firstByte - origin_;
  record.port = port;
  record.direction = direction;
  record.kind = frame.kind;
  record.bytes = frame.bytes;
  auto decoder = decoders_.find(port);
  if (decoder == decoders_.end()) decoder = decoders_.emplace(port, MessageDecoder()).first;
  record.text = DecodeFrame(decoder->second, frame);
  return FormatCaptureLine(record);
}

CaptureWriter::CaptureWriter(std::ostream& out, Micros origin, int version)
    : out_(out), lines_(origin) {
  out_ << CaptureVersionLine(version) << '\n';
}

std::string CaptureWriter::Write(const std::string& port, Direction direction, const Frame& frame) {
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
