// A capture file being written. Lines gather in memory and go to the file on WriteOut, which the
// host calls on a timer, so a reply never waits for a disk. The port A/B recorder and every rack
// machine's recorder write into one sink, each frame under its port's label.
//
// A write that fails (a full disk, a removed medium) closes the file and leaves one message for
// TakeFailure; the sink then takes nothing more.
#pragma once

#include <optional>
#include <sstream>
#include <string>

#include "CaptureFile.h"

class CaptureSink {
 public:
  // Appends to `path` (created when missing), times from `origin`, starting on a fresh line when
  // the file ends inside one; the session opens with the version line of `version`. Throws
  // std::runtime_error with a message for the user when the file cannot be opened or written,
  // is no regular file (a FIFO, a device) or is a link that another user owns.
  CaptureSink(const std::string& path, Micros origin, int version);
  CaptureSink(const CaptureSink&) = delete;
  CaptureSink& operator=(const CaptureSink&) = delete;
  // Writes what is pending; a failure then is lost with the sink (Stop reports it).
  ~CaptureSink();

  void Write(const std::string& label, Direction direction, const Frame& frame);
  void WriteLine(const std::string& line);
  // "# comment".
  void Note(const std::string& comment);
  // Labels other than A and B need version 2: a session of version 1 gets a new version line.
  void NeedVersion(int version);
  // Writes the lines gathered so far; false (and the file closed) when it refused them.
  bool WriteOut();

  bool Open() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  // "Capture to <path> stopped: No space left on device", once, after a write failed.
  std::optional<std::string> TakeFailure();

 private:
  void Close();

  int fd_ = -1;
  std::string path_;
  int version_ = 1;
  std::ostringstream pending_;
  std::optional<CaptureWriter> writer_;
  std::optional<std::string> failure_;
};
