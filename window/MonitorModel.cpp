#include "MonitorModel.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QPalette>
#include <algorithm>
#include <chrono>

#include "CaptureSide.h"
#include "sonyname.h"

namespace {

// How far back a message's other half is looked for: the designed lines and the records of one
// exchange arrive within a few rows of each other.
constexpr int kMergeWindow = 32;

// Puts `row` together with its other half among the last rows of `rows`; the index merged into,
// or -1.
template <typename Rows>
int MergeInto(Rows& rows, const MonitorRow& row) {
  const int last = static_cast<int>(rows.size()) - 1;
  for (int i = last; i >= 0 && i > last - kMergeWindow; --i) {
    MonitorRow& other = rows[static_cast<std::size_t>(i)];
    if (!SameMessage(row, other)) continue;
    const bool otherHasItsHalf =
        other.source == MonitorRow::Source::Record ? !other.designed.isEmpty() : other.decodedSeen;
    if (otherHasItsHalf) continue;
    const MonitorRow& record = row.source == MonitorRow::Source::Record ? row : other;
    const MonitorRow& designed = row.source == MonitorRow::Source::Record ? other : row;
    MonitorRow merged = record;
    merged.designed = designed.designed;
    other = std::move(merged);
    return i;
  }
  return -1;
}

// A tint of `hue` over the palette's base, so the text colour of the theme stays readable on it.
QColor Tint(const QColor& hue) {
  const QColor base = QApplication::palette().color(QPalette::Base);
  const double mix = base.lightnessF() < 0.5 ? 0.35 : 0.25;
  return QColor::fromRgbF(static_cast<float>(base.redF() * (1 - mix) + hue.redF() * mix),
                          static_cast<float>(base.greenF() * (1 - mix) + hue.greenF() * mix),
                          static_cast<float>(base.blueF() * (1 - mix) + hue.blueF() * mix));
}

QVariant Background(RowSeverity severity) {
  switch (severity) {
    case RowSeverity::BadChecksum:
      return QBrush(Tint(QColor(220, 30, 30)));
    case RowSeverity::Debris:
      return QBrush(Tint(QColor(150, 150, 150)));
    case RowSeverity::Nak:
      return QBrush(Tint(QColor(230, 120, 0)));
    case RowSeverity::LateReply:
      return QBrush(Tint(QColor(200, 180, 0)));
    case RowSeverity::ReplayDiffers:
      return QBrush(Tint(QColor(170, 60, 220)));
    case RowSeverity::Normal:
      break;
  }
  return {};
}

QString DirectionOf(const MonitorRow& row) {
  if (!row.IsMessage()) return {};
  if (row.command) return QStringLiteral("Cmd");
  return row.direction == Direction::Rx ? QStringLiteral("Rx") : QStringLiteral("Tx");
}

QString BytesOf(const MonitorRow& row) {
  return QString::fromStdString(HexBytes(row.bytes)).trimmed();
}

}  // namespace

QString SecondsOf(qint64 us) {
  const qint64 magnitude = us < 0 ? -us : us;
  return QStringLiteral("%1%2.%3")
      .arg(us < 0 ? QStringLiteral("-") : QString())
      .arg(magnitude / 1000000)
      .arg(magnitude % 1000000, 6, 10, QLatin1Char('0'));
}

QString MillisecondsOf(qint64 us) {
  return QStringLiteral("%1 ms").arg(static_cast<double>(us) / 1000.0, 0, 'f', 3);
}

QString LineOf(const MonitorRow& row) {
  if (row.source != MonitorRow::Source::Record) return row.designed;
  QString line = QStringLiteral("%1 %2 %3 %4  %5")
                     .arg(SecondsOf(row.us), 17)
                     .arg(row.port)
                     .arg(DirectionOf(row), BytesOf(row), row.decoded);
  if (row.replyUs) line += QStringLiteral("  reply ") + MillisecondsOf(*row.replyUs);
  return line;
}

Micros MonitorModel::SteadyNow() {
  return std::chrono::duration_cast<Micros>(std::chrono::steady_clock::now().time_since_epoch());
}

MonitorModel::MonitorModel(int maxRows, Clock clock, QObject* parent)
    : QAbstractTableModel(parent), maxRows_(maxRows), clock_(std::move(clock)), origin_(clock_()) {}

int MonitorModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int MonitorModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant MonitorModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const MonitorRow& row = Row(index.row());
  if (role == SeverityRole) return static_cast<int>(row.Severity());
  if (role == Qt::BackgroundRole) return Background(row.Severity());
  if (role == Qt::TextAlignmentRole &&
      (index.column() == TimeColumn || index.column() == ReplyColumn))
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  if (role == Qt::ToolTipRole) {
    if (index.column() == BytesColumn && row.IsMessage()) return BytesOf(row);
    if (index.column() == DecodedColumn && !row.decoded.isEmpty()) return row.decoded;
    if (!row.designed.isEmpty()) return row.designed;
  }
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case TimeColumn:
      return row.IsMessage() ? SecondsOf(row.us) : QString();
    case PortColumn:
      return row.port;
    case DirectionColumn:
      return DirectionOf(row);
    case BytesColumn:
      return BytesOf(row);
    case DecodedColumn:
      return row.IsMessage() ? row.decoded : row.designed;
    case ReplyColumn:
      return row.replyUs ? MillisecondsOf(*row.replyUs) : QString();
    case ReplayColumn:
      return row.replayed;
  }
  return {};
}

QVariant MonitorModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kTitles[kColumns] = {"Time (s)", "Port",  "Dir",   "Bytes",
                                                "Decoded",  "Reply", "Replay"};
  return section >= 0 && section < kColumns ? QString::fromLatin1(kTitles[section]) : QVariant();
}

void MonitorModel::AddDesignedLine(const QString& line) {
  MonitorRow row = RowOfDesignedLine(line, (clock_() - origin_).count());
  if (row.IsMessage() && MergeIntoRecent(row)) return;
  Append({std::move(row)});
}

void MonitorModel::AddRecords(const std::vector<CaptureRecord>& records) {
  // The host hands each port's records on in turn; the table reads in time order.
  std::vector<const CaptureRecord*> inOrder;
  inOrder.reserve(records.size());
  for (const CaptureRecord& record : records) inOrder.push_back(&record);
  std::stable_sort(
      inOrder.begin(), inOrder.end(),
      [](const CaptureRecord* a, const CaptureRecord* b) { return a->time < b->time; });
  std::vector<MonitorRow> fresh;
  for (const CaptureRecord* record : inOrder) AddRecord(*record, origin_, fresh);
  Append(std::move(fresh));
}

void MonitorModel::LoadCapture(const std::vector<CaptureRecord>& records) {
  Clear();
  std::vector<MonitorRow> fresh;
  fresh.reserve(records.size());
  for (const CaptureRecord& record : records) AddRecord(record, Micros(0), fresh);
  Append(std::move(fresh));
}

void MonitorModel::AddRecord(const CaptureRecord& record, Micros origin,
                             std::vector<MonitorRow>& fresh) {
  MonitorRow row = RowOfRecord(record, origin);
  TimeReply(row);
  if (row.port == u"A" && MergeIntoRecent(row)) return;
  fresh.push_back(std::move(row));
}

// Port A and a rack's machines answer what they receive; on port B the machine answers what is
// sent to it.
void MonitorModel::TimeReply(MonitorRow& row) {
  const Direction requests = RequestsOf(row.port.toStdString());
  if (row.direction == requests) {
    if (row.kind == FrameKind::Message) pendingRequestEnd_[row.port] = row.requestEndUs;
    return;
  }
  const auto pending = pendingRequestEnd_.find(row.port);
  if (pending == pendingRequestEnd_.end() || row.kind == FrameKind::Debris) return;
  // A capture's request end is an estimate at 38400 baud; a faster line (a pseudo-terminal, the
  // virtual cable) can answer before it.
  row.replyUs = std::max<qint64>(0, row.us - pending->second);
  pendingRequestEnd_.erase(pending);
  replies_.push_back({row.us, row.port, *row.replyUs});
  if (replies_.size() > static_cast<std::size_t>(maxRows_)) replies_.pop_front();
}

bool MonitorModel::MergeIntoRecent(const MonitorRow& row) {
  // While held, the other half waits aside with the rest.
  if (held_) return MergeInto(waiting_, row) >= 0;
  const int merged = MergeInto(rows_, row);
  if (merged < 0) return false;
  emit dataChanged(index(merged, 0), index(merged, kColumns - 1));
  return true;
}

void MonitorModel::SetReplayed(int row, const QString& replayed, bool matches) {
  if (row < 0 || row >= rowCount()) return;
  MonitorRow& target = rows_[static_cast<std::size_t>(row)];
  target.replayed = replayed;
  target.replayMatches = matches;
  emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

void MonitorModel::ClearReplayed() {
  for (MonitorRow& row : rows_) {
    row.replayed.clear();
    row.replayMatches.reset();
  }
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1));
}

void MonitorModel::Hold(bool on) {
  held_ = on;
  if (on) return;
  std::vector<MonitorRow> rows;
  rows.swap(waiting_);
  Append(std::move(rows));
}

void MonitorModel::Append(std::vector<MonitorRow> rows) {
  if (held_) {
    for (MonitorRow& row : rows) waiting_.push_back(std::move(row));
    // A pause of hours keeps no more than the table would.
    const std::size_t cap = static_cast<std::size_t>(maxRows_);
    if (waiting_.size() > cap + cap / 64) {
      const std::size_t excess = waiting_.size() - cap;
      waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(excess));
      removed_ += static_cast<long long>(excess);
    }
    return;
  }
  if (rows.empty()) return;
  const int first = rowCount();
  beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
  for (MonitorRow& row : rows) rows_.push_back(std::move(row));
  endInsertRows();
  DropOldest();
}

void MonitorModel::DropOldest() {
  const int slack = maxRows_ / 64;
  const int excess = rowCount() - maxRows_;
  if (excess <= slack) return;
  beginRemoveRows({}, 0, excess - 1);
  rows_.erase(rows_.begin(), rows_.begin() + excess);
  endRemoveRows();
  removed_ += excess;
  if (onRemoved) onRemoved();
}

void MonitorModel::Clear() {
  beginResetModel();
  rows_.clear();
  waiting_.clear();
  replies_.clear();
  removed_ = 0;
  pendingRequestEnd_.clear();
  origin_ = clock_();
  endResetModel();
  if (onRemoved) onRemoved();
}

QString MonitorModel::RemovedNotice() const {
  if (removed_ == 0) return {};
  return QStringLiteral("(%1 older lines removed; the log keeps the last %2)")
      .arg(removed_)
      .arg(maxRows_);
}

QString MonitorModel::Text() const {
  QStringList lines;
  if (removed_ > 0) lines << RemovedNotice();
  for (const MonitorRow& row : rows_) lines << LineOf(row);
  return lines.join(QLatin1Char('\n'));
}
