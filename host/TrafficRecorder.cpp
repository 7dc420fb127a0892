#include "TrafficRecorder.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "SonyBridge.h"

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
  if (capture_) file_.flush();
}

void TrafficRecorder::Record(char port, Direction direction, const std::vector<Frame>& frames) {
  PortTraffic& traffic = Of(port);
  const std::string prefix = port == 'A' ? "A " : "B ";
  for (const Frame& frame : frames) {
    if (capture_) capture_->Write(port, direction, frame);
    if (!decoding_) continue;
    decoded_.push_back(prefix + (direction == Direction::Rx
                                     ? traffic.monitor.Received(frame)
                                     : traffic.monitor.Sent(frame, frame.firstByte)));
  }
}

void TrafficRecorder::Bridged(const BridgeOutput& output) {
  if (capture_)
    for (const std::string& line : output.captureLines) WriteLine(line);
  if (decoding_)
    decoded_.insert(decoded_.end(), output.decodedLines.begin(), output.decodedLines.end());
}

void TrafficRecorder::WriteLine(const std::string& line) { file_ << line << '\n'; }

void TrafficRecorder::StartCapture(const std::string& path, Micros origin) {
  StopCapture();
  file_.open(path, std::ios::out | std::ios::app);
  if (!file_) {
    const std::string reason = std::strerror(errno);
    file_.clear();
    throw std::runtime_error("Cannot open the capture file " + path + ": " + reason);
  }
  capture_ = std::make_unique<CaptureWriter>(file_, origin);
  file_.flush();  // a capture with no traffic yet is still a capture
  capturePath_ = path;
}

void TrafficRecorder::Note(const std::string& comment) {
  if (!capture_) return;
  file_ << "# " << comment << '\n';
  file_.flush();
}

void TrafficRecorder::StopCapture() {
  if (!capture_) return;
  capture_.reset();
  file_.close();
  capturePath_.clear();
}

std::vector<std::string> TrafficRecorder::TakeDecodedLines() {
  std::vector<std::string> lines;
  lines.swap(decoded_);
  return lines;
}
