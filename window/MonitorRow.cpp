#include "MonitorRow.h"

#include <QStringList>

#include "SonyCommands.h"

namespace {

// A capture keeps each frame's first byte only: its last byte came this much later per further
// byte (11 bits at 38400 baud).
constexpr qint64 kByteUs = 286;

std::optional<std::vector<uint8_t>> HexOf(const QString& text) {
  std::vector<uint8_t> bytes;
  for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    bool ok = false;
    const uint value = word.toUInt(&ok, 16);
    if (!ok || word.size() != 2) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(value));
  }
  if (bytes.empty()) return std::nullopt;
  return bytes;
}

bool IsNak(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= 2 && sony::GroupOf(bytes[0]) == sony::kSystemReply &&
         bytes[1] == sony::kNak;
}

}  // namespace

RowSeverity MonitorRow::Severity() const {
  if (!IsMessage()) return RowSeverity::Normal;
  if (replayMatches == false) return RowSeverity::ReplayDiffers;
  if (kind == FrameKind::BadChecksum) return RowSeverity::BadChecksum;
  if (kind == FrameKind::Debris) return RowSeverity::Debris;
  if (IsNak(bytes)) return RowSeverity::Nak;
  if (replyUs && *replyUs > kLateReplyUs) return RowSeverity::LateReply;
  return RowSeverity::Normal;
}

MonitorRow RowOfDesignedLine(const QString& line, qint64 us) {
  MonitorRow row;
  row.us = us;
  row.designed = line;
  struct Prefix {
    const char* text;
    Direction direction;
    bool command;
  };
  for (const Prefix& p : {Prefix{"Rx:", Direction::Rx, false},
                          Prefix{"  Tx ", Direction::Tx, false}, Prefix{"", Direction::Rx, true}}) {
    const QString prefix = QString::fromLatin1(p.text);
    if (!line.startsWith(prefix)) continue;
    if (const auto bytes = HexOf(line.mid(prefix.size()))) {
      row.source = MonitorRow::Source::Designed;
      row.port = QStringLiteral("A");
      row.direction = p.direction;
      row.command = p.command;
      row.bytes = *bytes;
      return row;
    }
  }
  return row;
}

MonitorRow RowOfRecord(const CaptureRecord& record, Micros origin) {
  MonitorRow row;
  row.source = MonitorRow::Source::Record;
  row.us = (record.time - origin).count();
  row.port = QString::fromStdString(record.port);
  row.direction = record.direction;
  row.kind = record.kind;
  row.bytes = record.bytes;
  row.decoded = QString::fromStdString(record.text);
  row.decodedSeen = true;
  const qint64 span = static_cast<qint64>(record.bytes.size() - 1) * kByteUs;
  row.requestEndUs =
      record.lastByte.count() != 0 ? (record.lastByte - origin).count() : row.us + span;
  return row;
}

bool SameMessage(const MonitorRow& row, const MonitorRow& other) {
  return row.source != other.source && row.port == u"A" && other.port == u"A" && !row.command &&
         !other.command && row.direction == other.direction && row.bytes == other.bytes;
}
