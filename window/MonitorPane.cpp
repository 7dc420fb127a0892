#include "MonitorPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <algorithm>

#include "MonitorExport.h"

namespace {

struct GroupItem {
  const char* caption;
  int group;  // -1: all
};

const GroupItem kGroups[] = {
    {"All groups", -1},      {"0x System control", 0x0}, {"1x System reply", 0x1},
    {"2x Transport", 0x2},   {"4x Preset/select", 0x4},  {"6x Sense request", 0x6},
    {"7x Sense reply", 0x7}, {"8x Maker request", 0x8},  {"9x Maker reply", 0x9},
    {"Cx Extension", 0xC},   {"Dx Extension reply", 0xD}};

QComboBox* Combo(QWidget* parent, const QStringList& items) {
  auto* box = new QComboBox(parent);
  box->addItems(items);
  return box;
}

}  // namespace

MonitorPane::MonitorPane(MonitorModel* model, QWidget* parent)
    : QWidget(parent), model_(model), filter_(new MonitorFilter(this)) {
  filter_->setSourceModel(model_);
  BuildTable();
  notice = new QLabel(this);
  notice->setVisible(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(BuildFilterBar());
  layout->addWidget(BuildSearchBar());
  layout->addWidget(notice);
  layout->addWidget(table, 1);
  model_->onRemoved = [this] { ShowRemoved(); };
  connect(filter_, &QAbstractItemModel::rowsInserted, this, [this] {
    if (follow->isChecked()) table->scrollToBottom();
  });
}

void MonitorPane::BuildTable() {
  table = new QTableView(this);
  table->setModel(filter_);
  table->setWordWrap(false);
  table->setShowGrid(false);
  table->setAlternatingRowColors(false);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  table->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  QHeaderView* rows = table->verticalHeader();
  rows->setVisible(false);
  // Fixed row heights: the view never measures 200,000 rows.
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(table->fontMetrics().height() + 2);
  QHeaderView* columns = table->horizontalHeader();
  const int digit = table->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  const int widths[MonitorModel::kColumns] = {11, 4, 4, 30, 36, 11, 24};
  for (int c = 0; c < MonitorModel::kColumns; ++c) {
    columns->setSectionResizeMode(c, QHeaderView::Interactive);
    columns->resizeSection(c, widths[c] * digit + 8);
  }
  columns->setStretchLastSection(true);
  // Only a replay fills it.
  table->setColumnHidden(MonitorModel::ReplayColumn, true);
}

QWidget* MonitorPane::BuildFilterBar() {
  auto* bar = new QWidget(this);
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(0, 0, 0, 0);
  portBox = new QComboBox(bar);
  for (const char* port : {"", "A", "B"})
    portBox->addItem(*port == 0 ? QStringLiteral("Ports A and B") : QStringLiteral("Port ") + port,
                     QString::fromLatin1(port));
  directionBox = Combo(bar, {"Rx and Tx", "Rx", "Tx"});
  groupBox = new QComboBox(bar);
  for (const GroupItem& item : kGroups) groupBox->addItem(item.caption, item.group);
  errorsOnly = new QCheckBox("Errors only", bar);
  errorsOnly->setToolTip("Bad checksums, debris, NAKs and replies later than 9 ms");
  for (QWidget* w : {static_cast<QWidget*>(portBox), static_cast<QWidget*>(directionBox),
                     static_cast<QWidget*>(groupBox), static_cast<QWidget*>(errorsOnly)})
    row->addWidget(w);
  row->addStretch(1);
  for (QComboBox* box : {portBox, directionBox, groupBox})
    connect(box, &QComboBox::currentIndexChanged, this, [this] { ApplyFilters(); });
  connect(errorsOnly, &QCheckBox::toggled, this, [this] { ApplyFilters(); });
  return bar;
}

QWidget* MonitorPane::BuildSearchBar() {
  auto* bar = new QWidget(this);
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(0, 0, 0, 0);
  search = new QLineEdit(bar);
  search->setPlaceholderText("Find bytes or text (Enter: next)");
  search->setClearButtonEnabled(true);
  pause = new QPushButton("Pause", bar);
  pause->setCheckable(true);
  pause->setToolTip("Hold the table still; rows that come meanwhile are kept and shown after");
  follow = new QCheckBox("Follow", bar);
  follow->setChecked(true);
  follow->setToolTip("Keep the newest row in view");
  saveAs = new QPushButton("Save As...", bar);
  saveAs->setToolTip("Save the rows shown as a capture file, or as text (*.txt)");
  row->addWidget(search, 1);
  row->addWidget(pause);
  row->addWidget(follow);
  row->addWidget(saveAs);
  connect(search, &QLineEdit::returnPressed, this, [this] { FindNext(); });
  connect(pause, &QPushButton::toggled, this, [this](bool on) { model_->Hold(on); });
  connect(saveAs, &QPushButton::clicked, this, [this] { SaveAs(); });
  return bar;
}

void MonitorPane::OfferMachines(const QStringList& names) {
  if (names.isEmpty()) return;
  portBox->setItemText(0, QStringLiteral("All ports and machines"));
  int widest = table->columnWidth(MonitorModel::PortColumn);
  for (const QString& name : names) {
    portBox->addItem(QStringLiteral("Machine ") + name, name);
    widest = std::max(widest, table->fontMetrics().horizontalAdvance(name) + 12);
  }
  table->setColumnWidth(MonitorModel::PortColumn, widest);
}

QString MonitorPane::ChosenPort() const { return portBox->currentData().toString(); }

void MonitorPane::ApplyFilters() {
  const QString port = ChosenPort();
  filter_->SetPort(port.isEmpty() ? std::nullopt : std::optional<QString>(port));
  const int direction = directionBox->currentIndex();
  filter_->SetDirection(
      direction == 0 ? std::nullopt
                     : std::optional<Direction>(direction == 1 ? Direction::Rx : Direction::Tx));
  const int group = groupBox->currentData().toInt();
  filter_->SetGroup(group < 0 ? std::nullopt : std::optional<int>(group));
  filter_->SetErrorsOnly(errorsOnly->isChecked());
  if (follow->isChecked()) table->scrollToBottom();
}

bool MonitorPane::FindNext() {
  // From the row after the one found last; from the top when none is selected.
  const QModelIndexList selected = table->selectionModel()->selectedRows();
  const int found =
      filter_->Find(search->text(), selected.isEmpty() ? 0 : selected.front().row() + 1);
  if (found < 0) {
    notice->setText(QStringLiteral("No shown row holds \"%1\"").arg(search->text()));
    notice->setVisible(true);
    return false;
  }
  // Looking at a found row means not being carried away from it.
  follow->setChecked(false);
  table->selectRow(found);
  table->scrollTo(filter_->index(found, 0), QAbstractItemView::PositionAtCenter);
  ShowRemoved();
  return true;
}

void MonitorPane::ShowRemoved() {
  notice->setText(model_->RemovedNotice());
  notice->setVisible(!notice->text().isEmpty());
}

void MonitorPane::SaveAs() {
  const QString path = QFileDialog::getSaveFileName(
      this, "Save As", QString(), "Capture files (*.cap);;Text files (*.txt);;All files (*)");
  if (path.isEmpty()) return;
  const QString error = SaveShownRows(*filter_, path, FormatOfPath(path));
  if (!error.isEmpty()) QMessageBox::warning(this, "Save As", error);
}
