// The rack view: one row per machine of the rack (name, port, identity, time code, transport
// lamps, requests per second, last request age, errors), mirrored from the host's snapshot. A
// double-click on a row opens that machine's own window (RackPanelWindow), whose panel and menus
// drive that machine alone.
#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

#include "RackPanelWindow.h"
#include "RackRow.h"
#include "VirtualMachine.h"

class RackModel : public QAbstractTableModel {
 public:
  enum Column { Name, Port, Identity, TimeCode, Transport, Rate, LastRequest, Errors, kColumns };

  void SetRows(const std::vector<RackRow>& rows);
  const std::vector<RackRow>& Rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<RackRow> rows_;
};

class RackView : public QWidget {
 public:
  // `post` runs a call into machine `row`'s engine on the host.
  using PostMachine = std::function<void(std::size_t row, std::function<void(VirtualMachine&)>)>;

  // "Enter ID" for machine `row`, offering `initial` first.
  using EnterId = std::function<void(std::size_t row, const QString& initial)>;

  // `runKeypad` asks the main window's keypad for a Goto entry, under the asking window's title.
  RackView(PostMachine post, std::function<GotoAnswer(const QString& title)> runKeypad,
           EnterId enterId, QWidget* parent = nullptr);
  ~RackView() override;

  void Mirror(const std::vector<RackRow>& rows);
  // Opens (or raises) machine `row`'s panel.
  void OpenMachine(std::size_t row);

  QTableView* Table() const { return table_; }
  RackModel& Model() { return model_; }
  // The open machine windows, by row.
  const std::map<std::size_t, RackPanelWindow*>& Panels() const { return panels_; }

 private:
  PostMachine post_;
  std::function<GotoAnswer(const QString& title)> runKeypad_;
  EnterId enterId_;
  RackModel model_;
  QTableView* table_;
  std::map<std::size_t, RackPanelWindow*> panels_;
};

// "stop", "play", "ff", "rew", "rvs", "edit": the lit transport lamps of a panel.
QString TransportLamps(const VmPanel& panel);
