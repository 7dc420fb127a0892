// Reading capture files back: strict fields, a bounded line, errors that name the line and show
// the file's bytes escaped.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sstream>

#include "CaptureFile.h"
#include "EscapedText.h"

namespace {

// Far longer than any line the writer makes (64 bytes of debris and their decoded text).
constexpr std::size_t kMaxCaptureLine = 4096;
// Twelve digits of seconds keep the time in microseconds well inside 64 bits.
constexpr std::size_t kMaxSecondsDigits = 12;

[[noreturn]] void Broken(long long line, const std::string& what) {
  throw CaptureError("capture line " + std::to_string(line) + ": " + what);
}

std::string Quoted(const std::string& word) { return "\"" + EscapedText(word) + "\""; }

bool AllDigits(const std::string& text, std::size_t from, std::size_t to) {
  if (from >= to) return false;
  for (std::size_t i = from; i < to; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

long long DigitsValue(const std::string& text, std::size_t from, std::size_t to) {
  long long value = 0;
  for (std::size_t i = from; i < to; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

Micros ParseSeconds(const std::string& text, long long line) {
  const auto dot = text.find('.');
  const bool good = dot != std::string::npos && dot <= kMaxSecondsDigits &&
                    text.size() == dot + 7 && AllDigits(text, 0, dot) &&
                    AllDigits(text, dot + 1, text.size());
  if (!good) Broken(line, "time " + Quoted(text) + " is not seconds with six decimals");
  return Micros(DigitsValue(text, 0, dot) * 1000000 + DigitsValue(text, dot + 1, text.size()));
}

FrameKind ParseKind(const std::string& word, long long line) {
  if (word == "msg") return FrameKind::Message;
  if (word == "bad") return FrameKind::BadChecksum;
  if (word == "debris") return FrameKind::Debris;
  Broken(line, "kind " + Quoted(word) + " is not msg, bad or debris");
}

uint8_t ParseHexByte(const std::string& word, long long line) {
  if (word.size() != 2 || word.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) {
    Broken(line, Quoted(word) + " is not a hexadecimal byte");
  }
  return static_cast<uint8_t>(std::stoi(word, nullptr, 16));
}

std::string ParsePort(const std::string& word, int version, long long line) {
  if (word == "A" || word == "B") return word;
  if (version < 2) Broken(line, "port " + Quoted(word) + " is not A or B");
  if (!IsCaptureLabel(word)) Broken(line, "port " + Quoted(word) + " is longer than 32 characters");
  return word;
}

// One line of a session of `version`; `separated` tells whether the " | " before the text was
// there.
CaptureRecord ParseLine(const std::string& text, int version, long long line, bool& separated) {
  std::istringstream in(text);
  CaptureRecord record;
  std::string time, port, direction, kind;
  if (!(in >> time >> port >> direction >> kind)) Broken(line, "too few fields");
  record.time = ParseSeconds(time, line);
  record.port = ParsePort(port, version, line);
  if (direction != "rx" && direction != "tx")
    Broken(line, "direction " + Quoted(direction) + " is not rx or tx");
  record.direction = direction == "rx" ? Direction::Rx : Direction::Tx;
  record.kind = ParseKind(kind, line);
  std::string word;
  separated = false;
  while (in >> word) {
    if (word == "|") {
      separated = true;
      break;
    }
    record.bytes.push_back(ParseHexByte(word, line));
  }
  if (record.bytes.empty()) Broken(line, "no bytes");
  std::getline(in >> std::ws, record.text);
  return record;
}

enum class LineEnd { Newline, EndOfFile, None };

// The next line without its newline; None at the end of the stream. A line over the limit is
// refused rather than read whole.
LineEnd NextLine(std::istream& in, std::string& text, long long line) {
  char buffer[kMaxCaptureLine + 2];
  in.getline(buffer, sizeof buffer);
  const std::streamsize got = in.gcount();
  if (in.bad()) Broken(line, "cannot be read");
  if (in.fail() && !in.eof() && got == static_cast<std::streamsize>(sizeof buffer - 1)) {
    Broken(line, "longer than " + std::to_string(kMaxCaptureLine) + " characters");
  }
  if (got == 0 && in.eof()) return LineEnd::None;
  text.assign(buffer, static_cast<std::size_t>(in.eof() ? got : got - 1));
  if (text.size() > kMaxCaptureLine) {
    Broken(line, "longer than " + std::to_string(kMaxCaptureLine) + " characters");
  }
  return in.eof() ? LineEnd::EndOfFile : LineEnd::Newline;
}

std::string ReadWhole(int fd, const std::string& path) {
  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) return content;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      throw CaptureError("cannot read capture " + Quoted(path) + ": " + std::strerror(errno));
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

CaptureRecord ParseCaptureLine(const std::string& text, int lineNumber, int version) {
  bool separated = false;
  return ParseLine(text, version, lineNumber, separated);
}

std::vector<CaptureRecord> CaptureReader::Read(std::istream& in,
                                               std::vector<std::string>* warnings) {
  std::string text;
  const bool any = NextLine(in, text, 1) != LineEnd::None;
  int version = any ? CaptureVersionOf(text) : 0;
  const std::string family = "# selkietest capture ";
  if (version == 0 && text.starts_with(family)) {
    throw CaptureError("capture version " + Quoted(text.substr(family.size())) +
                       " is newer than this program reads (1 to " +
                       std::to_string(kCaptureVersionNow) + ")");
  }
  if (version == 0) {
    throw CaptureError("not a selkietest capture (its first line must be \"" +
                       std::string(kCaptureVersionLine) + "\")");
  }
  std::vector<CaptureRecord> records;
  // A broken line is forgiven only when a new session's version line follows it: the session
  // before was cut off inside it, and the next one started on a fresh line.
  std::optional<CaptureError> cutOff;
  long long cutOffLine = 0;
  for (long long line = 2;; ++line) {
    const LineEnd end = NextLine(in, text, line);
    if (end == LineEnd::None) break;
    const int sessionVersion = CaptureVersionOf(text);
    if (cutOff && sessionVersion == 0) throw *cutOff;
    if (cutOff && warnings != nullptr) {
      warnings->push_back("capture line " + std::to_string(cutOffLine) +
                          ": a session cut off inside this line; it was skipped");
    }
    cutOff.reset();
    if (sessionVersion != 0) version = sessionVersion;
    if (text.empty() || text[0] == '#') continue;
    bool separated = false;
    if (end == LineEnd::Newline) {
      try {
        records.push_back(ParseLine(text, version, line, separated));
      } catch (const CaptureError& e) {
        cutOff = e;
        cutOffLine = line;
      }
      continue;
    }
    // A last line without its newline may have been cut off by a full disk or a crash: its bytes
    // count only when the separator after them made it to the file.
    try {
      CaptureRecord record = ParseLine(text, version, line, separated);
      if (separated) records.push_back(std::move(record));
    } catch (const CaptureError&) {
      separated = false;
    }
    if (!separated && warnings != nullptr) {
      warnings->push_back("capture line " + std::to_string(line) +
                          ": the last line is cut off and was skipped");
    }
  }
  if (cutOff) throw *cutOff;
  return records;
}

std::vector<CaptureRecord> CaptureReader::ReadFile(const std::string& path,
                                                   std::vector<std::string>* warnings) {
  // Non-blocking, so that a FIFO planted at the path cannot hold the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    throw CaptureError("cannot open capture " + Quoted(path) + ": " + std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw CaptureError("capture " + Quoted(path) + " is not a regular file");
  }
  std::string content;
  try {
    content = ReadWhole(fd, path);
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  std::istringstream in(std::move(content));
  return Read(in, warnings);
}
