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
// Capture lines collect in memory and go to the file on Flush. A write that fails (a full disk,
// a removed medium) stops the capture and leaves one message for TakeCaptureFailure.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "CaptureFile.h"
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
  // Appends to `path` (created when missing), times from `origin`, starting on a fresh line when
  // the file ends inside one. Throws std::runtime_error with a message for the user when the
  // file cannot be opened or written, is no regular file (a FIFO, a device) or is a link that
  // another user owns.
  void StartCapture(const std::string& path, Micros origin);
  void StopCapture();
  // A comment line in the capture, if one is under way ("# personality broadcast-vtr").
  void Note(const std::string& comment);
  // "Capture to <path> stopped: No space left on device", once, after a write failed.
  std::optional<std::string> TakeCaptureFailure();
  bool Capturing() const { return capture_ != nullptr; }
  const std::string& CapturePath() const { return capturePath_; }
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
  void Record(char port, Direction direction, const std::vector<Frame>& frames);
  void WriteLine(const std::string& line);
  // Writes the lines gathered so far; false (and the capture stopped) when the file refused them.
  bool WriteOut();
  void CloseCapture();
  void KeepRecord(char port, Direction direction, const Frame& frame);
  void KeepBridgedRecords(const std::vector<std::string>& captureLines);

  std::array<PortTraffic, 2> ports_;
  bool decoding_ = false;
  int fd_ = -1;
  std::ostringstream pending_;  // capture lines not yet written
  std::optional<std::string> failure_;
  std::unique_ptr<CaptureWriter> capture_;
  std::string capturePath_;
  std::vector<std::string> decoded_;
  std::vector<CaptureRecord> records_;
  Micros bridgeOrigin_{0};  // the bridge's capture lines count from here
};
