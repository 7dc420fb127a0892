// `selkietest --replay FILE --port-b PORT [--exact]`: plays the editor's side of a capture to a
// machine and reports every exchange whose reply differs from the captured one.
//
// The port is opened directly (a tty, the far side of a pty: port, or a network port, whose
// connection is awaited for up to kPeerWait) at 38400 baud, 8 data bits,
// odd parity, 1 stop bit; each request is written whole, then the first frame to come back within
// kReplyWait is its reply (input left over from an earlier request is dropped first). Reply time
// is from the moment the request is handed to the device to the arrival of the reply's first
// byte, so it includes the request's own time on the line. The run is on the calling thread and
// needs no event loop.
//
// A pty: port drops what is written while nobody has its far side open: the replay waits up to
// kClientWait for a client before the first request and stops with an error when the client
// leaves, so no exchange that did not happen is counted.
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
  static constexpr std::chrono::seconds kPeerWait{5};
  static constexpr std::chrono::milliseconds kClientWait{10000};

  // `out` receives the differences and the summary.
  ReplayRunner(const ProgramOptions& options, std::ostream& out,
               std::chrono::milliseconds clientWait = kClientWait);
  ~ReplayRunner();

  // Reads the capture and opens the port; throws std::exception with a message for the user.
  void Start();
  // Plays every exchange; returns the exit status: 0 all replies matched, 1 one differed. Throws
  // std::exception with a message when the port fails or its client leaves.
  int Run();
  // What the capture reader forgave (a line cut off at the end of a session).
  const std::vector<std::string>& Warnings() const { return warnings_; }

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
  void AwaitPeer(const struct PortTarget& target);
  void DropPendingInput();
  void WriteAll(const std::vector<uint8_t>& bytes);

  ProgramOptions options_;
  std::ostream& out_;
  std::chrono::milliseconds clientWait_;
  std::vector<std::string> warnings_;
  std::vector<ReplayExchange> exchanges_;
  std::unique_ptr<SerialDevice> device_;
  MessageDecoder decoder_;
};

// The whole replay: messages on stderr; returns the exit status: 0 every reply matched, 1 one
// differed or the replay could not be done (the capture, the port).
int RunReplay(const ProgramOptions& options);
