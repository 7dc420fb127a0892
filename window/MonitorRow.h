// One row of the comms monitor's table: a message (or bytes that make none) with its time on the
// monitor's one clock, or a line of text that is no message (the designed first line "m1").
//
// A message can reach the monitor twice: as a designed line ("Rx:20 01 21 ", "  Tx 10 01 11 ")
// and as a decoded record from the traffic recorder. Both land in the same row, so a message is
// shown once however many boxes are checked.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "CaptureFile.h"

// What colours a row; also its role value (MonitorModel::SeverityRole).
enum class RowSeverity : int { Normal, BadChecksum, Debris, Nak, LateReply, ReplayDiffers };

struct MonitorRow {
  enum class Source : uint8_t { Note, Designed, Record };

  qint64 us = 0;  // since the monitor was cleared
  Source source = Source::Note;
  QString port;          // "A", "B" or a rack machine's name; empty for a note
  bool command = false;  // the designed transport command line ("20 01 21 ")
  Direction direction = Direction::Rx;
  FrameKind kind = FrameKind::Message;
  std::vector<uint8_t> bytes;
  QString designed;  // the designed line as the Part gives it, or a note's text
  QString decoded;   // empty until a decoded record is merged in
  std::optional<qint64> replyUs;
  qint64 requestEndUs = 0;  // a record's last byte (live) or its estimate (a capture)
  bool decodedSeen = false;
  // A replayed request: what came back this time, and whether it answers like the capture.
  QString replayed;
  std::optional<bool> replayMatches;

  bool IsMessage() const { return !port.isEmpty(); }
  RowSeverity Severity() const;
};

// A late reply: past the 9 ms an editor waits before it counts the machine as gone.
constexpr qint64 kLateReplyUs = 9000;

// A designed line as a row: "Rx:..." and "  Tx ..." are port A messages, a line of bytes alone is
// the transport command line, anything else a note. `us` is the row's time.
MonitorRow RowOfDesignedLine(const QString& line, qint64 us);
// A decoded record as a row, its time taken from `origin` (the host clock of the last Clear).
MonitorRow RowOfRecord(const CaptureRecord& record, Micros origin);
// Whether `row` (a designed line) and `other` (a record), or the other way round, are one message.
bool SameMessage(const MonitorRow& row, const MonitorRow& other);
