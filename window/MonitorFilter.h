// MonitorFilter: which rows of a MonitorModel are shown: by port, by direction, by command group
// (the high nibble of CMD-1) and "errors only" (bad checksum, debris, NAK, late reply). Notes (the
// designed first line) show only while nothing is filtered.
#pragma once

#include <QSortFilterProxyModel>
#include <optional>

#include "MonitorModel.h"

class MonitorFilter : public QSortFilterProxyModel {
 public:
  explicit MonitorFilter(QObject* parent = nullptr) : QSortFilterProxyModel(parent) {}

  void SetPort(std::optional<QString> port);
  void SetDirection(std::optional<Direction> direction);
  void SetGroup(std::optional<int> group);
  void SetErrorsOnly(bool on);
  bool Filtering() const { return port_ || direction_ || group_ || errorsOnly_; }

  // The row of the first shown row at or after `from` (wrapping) whose bytes or decoded text
  // contain `text` (case-insensitive), or -1.
  int Find(const QString& text, int from) const;

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  void Changed();

  std::optional<QString> port_;
  std::optional<Direction> direction_;
  std::optional<int> group_;
  bool errorsOnly_ = false;
};
