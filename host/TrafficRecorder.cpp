#include "TrafficRecorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "SonyBridge.h"

namespace {

[[noreturn]] void Refuse(const std::string& path, const std::string& reason) {
  throw std::runtime_error("Cannot capture to " + path + ": " + reason);
}

// A capture goes to a regular file: opening a FIFO would hold the host, and a device is no file.
// A link is followed only when it is the user's own (or root's): one planted in a shared folder
// must not send the capture elsewhere.
int OpenCaptureFile(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && info.st_uid != ::geteuid() &&
      info.st_uid != 0) {
    Refuse(path, "it is a link owned by another user");
  }
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    Refuse(path, "it is not a regular file");
  }
  // Read access lets a new session see whether the last one ended inside a line.
  constexpr int kFlags = O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = ::open(path.c_str(), O_RDWR | kFlags, 0644);
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | kFlags, 0644);
  if (fd < 0) {
    throw std::runtime_error("Cannot open the capture file " + path + ": " + std::strerror(errno));
  }
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    Refuse(path, "it is not a regular file");
  }
  return fd;
}

// Whether the file's last byte ends a line (an empty file does).
bool EndsOnANewLine(int fd) {
  struct stat info {};
  char last = '\n';
  return ::fstat(fd, &info) != 0 || info.st_size == 0 ||
         ::pread(fd, &last, 1, info.st_size - 1) != 1 || last == '\n';
}

}  // namespace

void TrafficRecorder::PortOpened(char port, Micros now) {
  PortTraffic& traffic = Of(port);
  traffic.in = MessageFramer();
  traffic.out = MessageFramer();
  traffic.monitor = DecodedMonitor(now, port == 'A');
}

void TrafficRecorder::Received(char port, std::span<const uint8_t> bytes, Micros at) {
  if (Active()) Record(port, Direction::Rx, Of(port).in.Push(bytes, at));
}

void TrafficRecorder::Sent(char port, std::span<const uint8_t> bytes, Micros at) {
  if (Active()) Record(port, Direction::Tx, Of(port).out.Push(bytes, at));
}

void TrafficRecorder::Flush(Micros now) {
  for (char port : {'A', 'B'}) {
    PortTraffic& traffic = Of(port);
    if (traffic.in.Pending()) Record(port, Direction::Rx, traffic.in.Flush(now));
    if (traffic.out.Pending()) Record(port, Direction::Tx, traffic.out.Flush(now));
  }
  // The file is written here, on the timer, not as each message passes: a reply or a bridged
  // message never waits for a write to the capture file.
  if (capture_) WriteOut();
}

void TrafficRecorder::Record(char port, Direction direction, const std::vector<Frame>& frames) {
  PortTraffic& traffic = Of(port);
  const std::string prefix = port == 'A' ? "A " : "B ";
  for (const Frame& frame : frames) {
    if (capture_) capture_->Write(port, direction, frame);
    if (!decoding_) continue;
    KeepRecord(port, direction, frame);
    decoded_.push_back(prefix + (direction == Direction::Rx
                                     ? traffic.monitor.Received(frame)
                                     : traffic.monitor.Sent(frame, frame.firstByte)));
  }
}

void TrafficRecorder::Bridged(const BridgeOutput& output) {
  if (capture_)
    for (const std::string& line : output.captureLines) WriteLine(line);
  if (!decoding_) return;
  decoded_.insert(decoded_.end(), output.decodedLines.begin(), output.decodedLines.end());
  KeepBridgedRecords(output.captureLines);
}

void TrafficRecorder::KeepRecord(char port, Direction direction, const Frame& frame) {
  CaptureRecord record;
  record.time = frame.firstByte;
  record.lastByte = frame.lastByte;
  record.port = port;
  record.direction = direction;
  record.kind = frame.kind;
  record.bytes = frame.bytes;
  record.text = DecodeFrame(Of(port).decoder, frame);
  records_.push_back(std::move(record));
}

void TrafficRecorder::KeepBridgedRecords(const std::vector<std::string>& captureLines) {
  for (const std::string& line : captureLines) {
    try {
      CaptureRecord record = ParseCaptureLine(line, 0);
      record.time += bridgeOrigin_;
      records_.push_back(std::move(record));
    } catch (const CaptureError&) {
      // The bridge writes every line itself; one it cannot read back is left to the file.
    }
  }
}

void TrafficRecorder::WriteLine(const std::string& line) { pending_ << line << '\n'; }

void TrafficRecorder::StartCapture(const std::string& path, Micros origin) {
  StopCapture();
  fd_ = OpenCaptureFile(path);
  pending_.str({});
  // A session that ended inside a line (a crash, a full disk) leaves the next one a fresh line.
  if (!EndsOnANewLine(fd_)) pending_ << '\n';
  capture_ = std::make_unique<CaptureWriter>(pending_, origin);
  capturePath_ = path;
  // A capture with no traffic yet is still a capture, and a file that takes nothing is refused.
  if (!WriteOut()) throw std::runtime_error(*TakeCaptureFailure());
}

void TrafficRecorder::Note(const std::string& comment) {
  if (!capture_) return;
  pending_ << "# " << comment << '\n';
  WriteOut();
}

void TrafficRecorder::StopCapture() {
  if (!capture_) return;
  if (WriteOut()) CloseCapture();
}

bool TrafficRecorder::WriteOut() {
  const std::string text = pending_.str();
  pending_.str({});
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      failure_ = "Capture to " + capturePath_ + " stopped: " + std::strerror(error);
      CloseCapture();
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void TrafficRecorder::CloseCapture() {
  capture_.reset();
  ::close(fd_);
  fd_ = -1;
  pending_.str({});
  capturePath_.clear();
}

std::optional<std::string> TrafficRecorder::TakeCaptureFailure() {
  std::optional<std::string> failure;
  failure.swap(failure_);
  return failure;
}

std::vector<CaptureRecord> TrafficRecorder::TakeRecords() {
  std::vector<CaptureRecord> records;
  records.swap(records_);
  return records;
}

std::vector<std::string> TrafficRecorder::TakeDecodedLines() {
  std::vector<std::string> lines;
  lines.swap(decoded_);
  return lines;
}
