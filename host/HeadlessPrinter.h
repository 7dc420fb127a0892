// `selkietest --headless`: the engine host configured from the command line, and a printer of
// what it publishes: port A's monitor lines (--log) or both ports' decoded lines (--log decoded,
// --bridge) and the controlled machine's state lines on
// stdout, messages on stderr. The printing runs on the caller's thread, never on the host's, so
// a slow terminal cannot delay a reply.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>

#include "EngineHost.h"
#include "ProgramOptions.h"

// The host's configuration for a headless run of `options`. Throws PersonalityError for a
// personality that cannot be used.
EngineHostConfig HeadlessConfig(const ProgramOptions& options);

class HeadlessPrinter {
 public:
  HeadlessPrinter(const ProgramOptions& options, std::ostream& out, std::ostream& err);
  ~HeadlessPrinter();

  // Reads the settings (only with --settings) and opens the ports. Throws std::exception with a
  // message for the user when that fails.
  void Start();
  // Prints what the host publishes until `stopped()` holds, then stops the host.
  void Run(const std::function<bool()>& stopped);
  void Run(const std::atomic<bool>& stop) {
    Run([&stop] { return stop.load(); });
  }

  EngineHost& Host() { return host_; }
  // Whether an error was printed (a port failed, the capture file stopped taking lines).
  bool ReportedErrors() const { return reportedErrors_; }

 private:
  void Print(HostOutput output);

  std::ostream& out_;
  std::ostream& err_;
  std::mutex mutex_;
  std::condition_variable woken_;
  bool pending_ = false;
  bool reportedErrors_ = false;
  EngineHost host_;
};

// The whole headless run: signal handling (Ctrl-C, SIGTERM and SIGHUP end it), messages on
// stderr; returns the exit status: 2 for a personality that cannot be used, 1 when the run could
// not start or reported an error on the way, else 0.
int RunHeadless(const ProgramOptions& options);
