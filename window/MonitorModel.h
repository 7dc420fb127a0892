// MonitorModel: the rows of the comms monitor (MonitorRow.h) for a table view. One clock for both
// ports, counted from the last Clear; designed lines and decoded records of one message share a
// row; reply times are worked out here for both sides (port A answers what it receives, port B's
// machine answers what is sent to it).
//
// The oldest rows go once the table holds more than its cap; they are removed in batches (a
// sixty-fourth of the cap at a time) so a filtered view is not re-mapped for every new row.
// Removed() says how many went since the last Clear.
#pragma once

#include <QAbstractTableModel>
#include <deque>
#include <functional>
#include <map>

#include "MonitorRow.h"

struct MonitorReply {
  qint64 us;  // when the reply began, on the monitor's clock
  QString port;
  qint64 replyUs;
};

class MonitorModel : public QAbstractTableModel {
 public:
  enum Column {
    TimeColumn,
    PortColumn,
    DirectionColumn,
    BytesColumn,
    DecodedColumn,
    ReplyColumn,
    ReplayColumn  // what a replay got back (the capture viewer's)
  };
  static constexpr int kColumns = 7;
  // The row's RowSeverity as an int; the background colour follows it.
  static constexpr int SeverityRole = Qt::UserRole + 1;

  using Clock = std::function<Micros()>;
  static Micros SteadyNow();

  explicit MonitorModel(int maxRows, Clock clock = SteadyNow, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void AddDesignedLine(const QString& line);
  // Records on the host clock (live traffic).
  void AddRecords(const std::vector<CaptureRecord>& records);
  // A capture's records, whose times count from the capture's start.
  void LoadCapture(const std::vector<CaptureRecord>& records);
  // Empties the table, the designed first line included, and restarts the clock.
  void Clear();
  // Notes the reply a replay got for the request in `row`.
  void SetReplayed(int row, const QString& replayed, bool matches);
  void ClearReplayed();
  // Pause: while held, new rows wait aside (nothing is lost) and the shown rows stay still.
  void Hold(bool on);

  const MonitorRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }
  long long Removed() const { return removed_; }
  // "(7 older lines removed; the log keeps the last 5)", or empty while nothing went.
  QString RemovedNotice() const;
  // The log as text, one line per row, the notice first.
  QString Text() const;
  const std::deque<MonitorReply>& Replies() const { return replies_; }
  // Called after rows were removed for the cap, so a label can show the count.
  std::function<void()> onRemoved;

 private:
  void Append(std::vector<MonitorRow> rows);
  void AddRecord(const CaptureRecord& record, Micros origin, std::vector<MonitorRow>& fresh);
  bool MergeIntoRecent(const MonitorRow& row);
  void TimeReply(MonitorRow& row);
  void DropOldest();

  int maxRows_;
  Clock clock_;
  Micros origin_;
  std::deque<MonitorRow> rows_;
  std::deque<MonitorReply> replies_;
  long long removed_ = 0;
  bool held_ = false;
  std::vector<MonitorRow> waiting_;              // rows that came while held
  std::map<QString, qint64> pendingRequestEnd_;  // per port: a request not yet answered
};

// One row as a line of text: a designed line or note as it is, a record as
// "    12.345678 A Rx 61 0C 01 6E  CURRENT TIME SENSE LTC  reply 0.300 ms".
QString LineOf(const MonitorRow& row);
QString SecondsOf(qint64 us);
QString MillisecondsOf(qint64 us);
