// SIGTERM, SIGINT and SIGHUP end the program the way its own close does (ports closed, settings
// written, exit status 0) instead of killing it with the ports as they were. The handler only
// writes to a pipe, so a front end watches one descriptor (a socket notifier, a poll) and closes
// in its own time. SIGPIPE is ignored: a reader that went away is an error on the write.
#pragma once

class StopSignals {
 public:
  // Installs the handlers; a second call returns the same descriptor.
  static void Install();
  // Readable once a stop signal came; -1 when the pipe could not be made (the signals then keep
  // their default action).
  static int Fd();
  // Whether a stop signal came; empties the pipe.
  static bool Take();
};
