// `selkietest --replay FILE --port-b PORT [--exact]`: plays the editor's side of a capture to a
// machine and reports every exchange whose reply differs from the captured one.
//
// The port is opened directly (a tty, or the far side of a pty: port) at 38400 baud, 8 data bits,
// odd parity, 1 stop bit; each request is written whole, then the first frame to come back within
// kReplyWait is its reply (input left over from an earlier request is dropped first). Reply time
// is from the moment the request is handed to the device to the arrival of the reply's first
// byte, so it includes the request's own time on the line. The run is on the calling thread and
// needs no event loop.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "ProgramOptions.h"
#include "ReplayScript.h"

class SerialDevice;

class ReplayRunner {
 public:
  static constexpr std::chrono::milliseconds kReplyWait{300};

  // `out` receives the differences and the summary.
  ReplayRunner(const ProgramOptions& options, std::ostream& out);
  ~ReplayRunner();

  // Reads the capture and opens the port; throws std::exception with a message for the user.
  void Start();
  // Plays every exchange; returns the exit status: 0 all replies matched, 1 one differed.
  int Run();

  // What a window shows of each exchange as it is played (called on the thread that runs).
  struct Outcome {
    const ReplayExchange* exchange;
    std::optional<Frame> reply;
    Micros replyTime{0};  // meaningful with a reply
    bool matches;
  };
  std::function<void(const Outcome&)> onExchange;
  // Set from any thread: the run stops before its next exchange.
  std::atomic<bool> stop{false};
  std::size_t Exchanges() const { return exchanges_.size(); }

 private:
  std::optional<Frame> Exchange(const std::vector<uint8_t>& request, Micros& sentAt);
  void Report(std::size_t index, const ReplayExchange& exchange, const std::optional<Frame>& reply);
  void DropPendingInput();
  void WriteAll(const std::vector<uint8_t>& bytes);

  ProgramOptions options_;
  std::ostream& out_;
  std::vector<ReplayExchange> exchanges_;
  std::unique_ptr<SerialDevice> device_;
  MessageDecoder decoder_;
};

// The whole replay: messages on stderr; returns the exit status (2 when it cannot start).
int RunReplay(const ProgramOptions& options);
