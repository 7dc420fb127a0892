#include "MonitorFilter.h"

void MonitorFilter::Changed() { invalidateFilter(); }

void MonitorFilter::SetPort(std::optional<QString> port) {
  port_ = port;
  Changed();
}

void MonitorFilter::SetDirection(std::optional<Direction> direction) {
  direction_ = direction;
  Changed();
}

void MonitorFilter::SetGroup(std::optional<int> group) {
  group_ = group;
  Changed();
}

void MonitorFilter::SetErrorsOnly(bool on) {
  errorsOnly_ = on;
  Changed();
}

bool MonitorFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  const auto* model = static_cast<const MonitorModel*>(sourceModel());
  const MonitorRow& row = model->Row(sourceRow);
  if (!row.IsMessage()) return !Filtering();
  if (port_ && row.port != *port_) return false;
  if (direction_ && (row.command || row.direction != *direction_)) return false;
  if (group_ && (row.bytes.empty() || (row.bytes[0] >> 4) != *group_)) return false;
  if (errorsOnly_ && row.Severity() == RowSeverity::Normal) return false;
  return true;
}

int MonitorFilter::Find(const QString& text, int from) const {
  const int rows = rowCount();
  if (text.isEmpty() || rows == 0) return -1;
  for (int step = 0; step < rows; ++step) {
    const int row = (from + step) % rows;
    for (int column : {MonitorModel::BytesColumn, MonitorModel::DecodedColumn}) {
      if (index(row, column).data().toString().contains(text, Qt::CaseInsensitive)) return row;
    }
  }
  return -1;
}
