#include "CaptureFile.h"

#include <cstdio>
#include <fstream>
#include <sstream>

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

[[noreturn]] void Broken(int line, const std::string& what) {
  throw CaptureError("capture line " + std::to_string(line) + ": " + what);
}

Micros ParseSeconds(const std::string& text, int line) {
  const auto dot = text.find('.');
  if (dot == std::string::npos || text.size() - dot != 7 || dot == 0 ||
      text.find_first_not_of("0123456789.") != std::string::npos) {
    Broken(line, "time \"" + text + "\" is not seconds with six decimals");
  }
  return Micros(std::stoll(text.substr(0, dot)) * 1000000 + std::stoll(text.substr(dot + 1)));
}

FrameKind ParseKind(const std::string& word, int line) {
  if (word == "msg") return FrameKind::Message;
  if (word == "bad") return FrameKind::BadChecksum;
  if (word == "debris") return FrameKind::Debris;
  Broken(line, "kind \"" + word + "\" is not msg, bad or debris");
}

uint8_t ParseHexByte(const std::string& word, int line) {
  if (word.size() != 2 || word.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) {
    Broken(line, "\"" + word + "\" is not a hexadecimal byte");
  }
  return static_cast<uint8_t>(std::stoi(word, nullptr, 16));
}

}  // namespace

CaptureRecord ParseCaptureLine(const std::string& text, int line) {
  std::istringstream in(text);
  CaptureRecord record;
  std::string time, port, direction, kind;
  if (!(in >> time >> port >> direction >> kind)) Broken(line, "too few fields");
  record.time = ParseSeconds(time, line);
  if (port != "A" && port != "B") Broken(line, "port \"" + port + "\" is not A or B");
  record.port = port[0];
  if (direction != "rx" && direction != "tx")
    Broken(line, "direction \"" + direction + "\" is not rx or tx");
  record.direction = direction == "rx" ? Direction::Rx : Direction::Tx;
  record.kind = ParseKind(kind, line);
  std::string word;
  while (in >> word && word != "|") record.bytes.push_back(ParseHexByte(word, line));
  if (record.bytes.empty()) Broken(line, "no bytes");
  std::getline(in >> std::ws, record.text);
  return record;
}

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

std::vector<CaptureRecord> CaptureReader::Read(std::istream& in) {
  std::string text;
  if (!std::getline(in, text) || text != kCaptureVersionLine) {
    throw CaptureError("not a selkietest capture (its first line must be \"" +
                       std::string(kCaptureVersionLine) + "\")");
  }
  std::vector<CaptureRecord> records;
  for (int line = 2; std::getline(in, text); ++line) {
    if (text.empty() || text[0] == '#') continue;
    records.push_back(ParseCaptureLine(text, line));
  }
  return records;
}

std::vector<CaptureRecord> CaptureReader::ReadFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw CaptureError("cannot open capture \"" + path + "\"");
  return Read(in);
}
