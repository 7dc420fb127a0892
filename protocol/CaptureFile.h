// Capture files: a text record of 9-pin traffic, one line per frame (MessageFramer.h).
//
//   # selkietest capture 1
//   0.000000 A rx msg 61 0C 01 6E | CURRENT TIME SENSE LTC
//   0.000412 A tx msg 74 04 00 00 00 01 79 | LTC TIME DATA 01:00:00:00
//   1.250000 A rx bad 20 01 22 | PLAY [bad checksum]
//   1.300000 A rx debris 05 FF | debris
//
// The first line names the format and its version. Each further line holds, separated by one
// space: the time in seconds with six decimals (from the start of the capture), the port (A or
// B), the direction seen from this program (rx received, tx sent), the kind (msg, bad, debris),
// the bytes in upper-case hexadecimal, then " | " and the decoded text. Lines starting with "#"
// are comments. The reader takes the bytes, never the text, so a file stays readable when the
// decoder learns new names.
//
// Version 2 differs only in the port: besides A and B it may be the name of a rack's machine
// ("vtr3 rx msg ..."), 1 to 32 printable characters without spaces. A file holds one or more
// sessions, each opened by its version line; a version 1 session accepts A and B only. Writers
// use version 1 unless a line needs more, so files of ports A and B read as before.
//
// CaptureWriter writes to a stream the caller owns; it decodes each port's traffic with a decoder
// of its own, so a status reply is numbered from the request before it. CaptureReader::Read throws
// CaptureError naming the line for a file that is not a capture or holds a broken or overlong
// line; the file's own bytes in a message are shown escaped (EscapedText.h).
#pragma once

#include <istream>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "MessageDecoder.h"
#include "MessageFramer.h"

enum class Direction : uint8_t { Rx, Tx };

struct CaptureRecord {
  Micros time{0};
  std::string port = "A";  // "A", "B", or a rack machine's name (version 2)
  Direction direction = Direction::Rx;
  FrameKind kind = FrameKind::Message;
  std::vector<uint8_t> bytes;
  std::string text;    // decoded; not needed for writing (the writer decodes)
  Micros lastByte{0};  // arrival of the last byte where it is known (live traffic), else 0
};

class CaptureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

constexpr const char* kCaptureVersionLine = "# selkietest capture 1";
constexpr int kCaptureVersionNow = 2;

// The version line of `version` (1 or 2).
std::string CaptureVersionLine(int version);
// The version `line` opens, or 0 when it is no version line.
int CaptureVersionOf(const std::string& line);
// Whether `label` may name a port in a version 2 capture.
bool IsCaptureLabel(const std::string& label);
// The lowest version that can hold the ports of `records`.
int CaptureVersionFor(const std::vector<CaptureRecord>& records);

// Capture lines without a file: for owners that hand lines on (the bridge) rather than write them.
class CaptureLines {
 public:
  // Frame times are taken relative to `origin`.
  explicit CaptureLines(Micros origin = Micros(0)) : origin_(origin) {}
  // The line of one frame of `port` ("A", "B" or a machine's name), without its newline.
  std::string Line(const std::string& port, Direction direction, const Frame& frame);

 private:
  Micros origin_;
  std::map<std::string, MessageDecoder, std::less<>> decoders_;
};

class CaptureWriter {
 public:
  // Writes the version line of `version`; frame times are taken relative to `origin`.
  explicit CaptureWriter(std::ostream& out, Micros origin = Micros(0), int version = 1);

  // Writes one frame of `port`; returns the line written, without its newline.
  std::string Write(const std::string& port, Direction direction, const Frame& frame);

 private:
  std::ostream& out_;
  CaptureLines lines_;
};

// One record as a capture line, without the newline.
std::string FormatCaptureLine(const CaptureRecord& record);
// One capture line (not the version line, not a comment) of a session of `version` as a record;
// throws CaptureError naming `lineNumber` when it is broken.
CaptureRecord ParseCaptureLine(const std::string& text, int lineNumber,
                               int version = kCaptureVersionNow);

class CaptureReader {
 public:
  // A last line cut off before its newline (a full disk, a crash), or a broken line right before
  // the version line of a session appended after such an end, is skipped with a warning added
  // to `warnings` rather than refused; every other broken line is an error.
  static std::vector<CaptureRecord> Read(std::istream& in,
                                         std::vector<std::string>* warnings = nullptr);
  // Refuses what is not a regular file (a FIFO, a device) before reading it.
  static std::vector<CaptureRecord> ReadFile(const std::string& path,
                                             std::vector<std::string>* warnings = nullptr);
};

// The text the decoder gives a frame: the message's line, or "debris".
std::string DecodeFrame(MessageDecoder& decoder, const Frame& frame);
