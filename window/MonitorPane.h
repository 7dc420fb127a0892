// MonitorPane: a monitor table with its filters (port, direction, command group, "Errors only"),
// search, pause and follow, and "Save As...". The comms monitor and the capture viewer each hold
// one over their own MonitorModel.
#pragma once

#include <QWidget>

#include "MonitorFilter.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

class MonitorPane : public QWidget {
 public:
  MonitorPane(MonitorModel* model, QWidget* parent = nullptr);

  MonitorModel* Model() const { return model_; }
  MonitorFilter* Filter() const { return filter_; }

  // Selects the next shown row after the current one that matches the search text; false when
  // none does.
  bool FindNext();
  // Asks for a file name, then saves the shown rows (MonitorExport.h).
  void SaveAs();
  // A rack's capture: its machines join ports A and B in the port filter.
  void OfferMachines(const QStringList& names);
  // The port or machine the filter shows, or empty for all.
  QString ChosenPort() const;

  QTableView* table;
  QComboBox* portBox;
  QComboBox* directionBox;
  QComboBox* groupBox;
  QCheckBox* errorsOnly;
  QLineEdit* search;
  QPushButton* pause;
  QCheckBox* follow;
  QPushButton* saveAs;
  QLabel* notice;  // how many old rows went, or why a search found nothing

 private:
  void BuildTable();
  QWidget* BuildFilterBar();
  QWidget* BuildSearchBar();
  void ApplyFilters();
  void ShowRemoved();

  MonitorModel* model_;
  MonitorFilter* filter_;
};
