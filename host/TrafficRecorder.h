// TrafficRecorder: what the engine host's ports carry, cut into messages and turned into decoded
// monitor lines ("A ..." / "B ...") and capture file lines. The host hands in every byte it reads
// and writes with the time it saw them; nothing here touches a port or changes a byte.
//
// Each port has a framer per direction and a decoded monitor timed from the moment the port
// opened (port A answers, port B asks). Framing runs only while someone wants the result: the
// decoded lines (the window's "Decode" box, a headless `--log decoded`) or a capture file. Flush
// is called on a timer so bytes that never form a message are still recorded once the line is
// quiet. While the host bridges, the bridge frames the traffic itself and hands its lines in.
//
// Capture lines go to a CaptureSink, which writes them to the file on Flush. A write that fails
// (a full disk, a removed medium) stops the capture and leaves one message for
// TakeCaptureFailure. A rack machine's recorder shares the capture of the host's recorder and
// labels its port with the machine's name.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "CaptureFile.h"
#include "CaptureSink.h"
#include "DecodedMonitor.h"
#include "MessageFramer.h"

struct BridgeOutput;

class TrafficRecorder {
 public:
  TrafficRecorder() = default;
  TrafficRecorder(const TrafficRecorder&) = delete;
  TrafficRecorder& operator=(const TrafficRecorder&) = delete;
  ~TrafficRecorder() { StopCapture(); }

  // Port `port` ('A' or 'B') opened at `now`: its monitor's times start here.
  void PortOpened(char port, Micros now);
  void Received(char port, std::span<const uint8_t> bytes, Micros at);
  void Sent(char port, std::span<const uint8_t> bytes, Micros at);
  // Hands out bytes that have waited past MessageFramer::kQuietGap.
  void Flush(Micros now);
  // The lines of a bridge, which frames and decodes the traffic itself.
  void Bridged(const BridgeOutput& output);
  // The time the bridge's own capture lines count from.
  void SetBridgeOrigin(Micros origin) { bridgeOrigin_ = origin; }

  void SetDecoding(bool on) { decoding_ = on; }
  bool Decoding() const { return decoding_; }
  // The name port 'A' goes by in a capture ("A" unless a rack machine's recorder names it).
  void SetCaptureLabel(std::string label) { labelA_ = std::move(label); }
  // Opens a capture of `version` (CaptureSink), replacing one under way. Throws
  // std::runtime_error with a message for the user when the file cannot be had.
  void StartCapture(const std::string& path, Micros origin, int version = 1);
  // Writes into another recorder's capture (a rack machine into the host's); null for none.
  void ShareCapture(std::shared_ptr<CaptureSink> sink) { capture_ = std::move(sink); }
  std::shared_ptr<CaptureSink> Capture() const { return Capturing() ? capture_ : nullptr; }
  void StopCapture();
  // A comment line in the capture, if one is under way ("# personality broadcast-vtr").
  void Note(const std::string& comment);
  // "Capture to <path> stopped: No space left on device", once, after a write failed.
  std::optional<std::string> TakeCaptureFailure();
  bool Capturing() const { return capture_ && capture_->Open(); }
  std::string CapturePath() const { return Capturing() ? capture_->Path() : std::string(); }
  // Whether framing runs at all.
  bool Active() const { return decoding_ || Capturing(); }

  std::vector<std::string> TakeDecodedLines();
  bool HasDecodedLines() const { return !decoded_.empty(); }
  // The decoded messages as records, beside the lines: times on the host's clock (not the
  // port's), for a front end that lays them out itself.
  std::vector<CaptureRecord> TakeRecords();

 private:
  struct PortTraffic {
    MessageFramer in;
    MessageFramer out;
    DecodedMonitor monitor{Micros(0)};
    MessageDecoder decoder;  // the records' own: the monitor's is not shared
  };

  PortTraffic& Of(char port) { return port == 'A' ? ports_[0] : ports_[1]; }
  const std::string& Label(char port) const { return port == 'A' ? labelA_ : labelB_; }
  void Record(char port, Direction direction, const std::vector<Frame>& frames);
  // Writes what the capture gathered; a failure stays with the capture for TakeCaptureFailure.
  void WriteOut();
  void KeepRecord(char port, Direction direction, const Frame& frame);
  void KeepBridgedRecords(const std::vector<std::string>& captureLines);

  std::array<PortTraffic, 2> ports_;
  bool decoding_ = false;
  std::string labelA_ = "A";
  const std::string labelB_ = "B";
  std::shared_ptr<CaptureSink> capture_;
  std::optional<std::string> failure_;  // of a capture stopped before the failure was taken
  std::vector<std::string> decoded_;
  std::vector<CaptureRecord> records_;
  Micros bridgeOrigin_{0};  // the bridge's capture lines count from here
};
