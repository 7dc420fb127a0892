#include "TrafficRecorder.h"

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
  WriteOut();
}

void TrafficRecorder::Record(char port, Direction direction, const std::vector<Frame>& frames) {
  PortTraffic& traffic = Of(port);
  const std::string prefix = port == 'A' ? "A " : "B ";
  for (const Frame& frame : frames) {
    if (capture_) capture_->Write(Label(port), direction, frame);
    if (!decoding_) continue;
    KeepRecord(port, direction, frame);
    decoded_.push_back(prefix + (direction == Direction::Rx
                                     ? traffic.monitor.Received(frame)
                                     : traffic.monitor.Sent(frame, frame.firstByte)));
  }
}

void TrafficRecorder::Bridged(const BridgeOutput& output) {
  if (capture_)
    for (const std::string& line : output.captureLines) capture_->WriteLine(line);
  if (!decoding_) return;
  decoded_.insert(decoded_.end(), output.decodedLines.begin(), output.decodedLines.end());
  KeepBridgedRecords(output.captureLines);
}

void TrafficRecorder::KeepRecord(char port, Direction direction, const Frame& frame) {
  CaptureRecord record;
  record.time = frame.firstByte;
  record.lastByte = frame.lastByte;
  record.port = std::string(1, port);
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

void TrafficRecorder::StartCapture(const std::string& path, Micros origin, int version) {
  StopCapture();
  capture_ = std::make_shared<CaptureSink>(path, origin, version);
}

void TrafficRecorder::Note(const std::string& comment) {
  if (!capture_) return;
  capture_->Note(comment);
  WriteOut();
}

void TrafficRecorder::StopCapture() {
  if (!capture_) return;
  WriteOut();
  if (std::optional<std::string> failure = capture_->TakeFailure()) failure_ = std::move(failure);
  capture_.reset();
}

void TrafficRecorder::WriteOut() {
  if (capture_) capture_->WriteOut();
}

std::optional<std::string> TrafficRecorder::TakeCaptureFailure() {
  std::optional<std::string> failure;
  failure.swap(failure_);
  if (!failure && capture_) failure = capture_->TakeFailure();
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
