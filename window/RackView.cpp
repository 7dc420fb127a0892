#include "RackView.h"

#include <QHeaderView>
#include <QVBoxLayout>

namespace {

QString AgeText(int64_t ms) {
  if (ms < 0) return "-";
  if (ms < 1000) return QString::number(ms) + " ms";
  return QString::number(static_cast<double>(ms) / 1000.0, 'f', 1) + " s";
}

}  // namespace

QString TransportLamps(const VmPanel& panel) {
  const std::pair<uint8_t, const char*> lamps[] = {{panel.vstop, "stop"},   {panel.vplay, "play"},
                                                   {panel.vfwd, "ff"},      {panel.vrwd, "rew"},
                                                   {panel.vrvsplay, "rvs"}, {panel.vedit, "edit"}};
  QStringList lit;
  for (const auto& [level, text] : lamps)
    if (level == kLampLit) lit << text;
  return lit.join(' ');
}

void RackModel::SetRows(const std::vector<RackRow>& rows) {
  if (rows.size() != rows_.size()) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
    return;
  }
  rows_ = rows;
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1));
}

int RackModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RackModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant RackModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const RackRow& row = rows_[static_cast<std::size_t>(index.row())];
  if (role == Qt::ForegroundRole && index.column() == Errors && row.errorCount > 0)
    return QColor(Qt::red);
  if (role == Qt::ToolTipRole && index.column() == Errors)
    return QString::fromStdString(row.lastError);
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case Name:
      return QString::fromStdString(row.name);
    case Port:
      return QString::fromStdString(row.port) + (row.open ? "" : " (closed)");
    case Identity:
      return RackIdentityText(row);
    case TimeCode:
      return QString::fromStdString(row.panel.vpoz);
    case Transport:
      return TransportLamps(row.panel);
    case Rate:
      return row.requestsPerSecond;
    case LastRequest:
      return AgeText(row.lastRequestAgeMs);
    case Errors:
      return row.errorCount == 0
                 ? QString("0")
                 : QString::number(row.errorCount) + ": " + QString::fromStdString(row.lastError);
    default:
      return {};
  }
}

QVariant RackModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  static const char* const kTitles[] = {"Name",      "Port",  "Identity",     "Time code",
                                        "Transport", "Req/s", "Last request", "Errors"};
  return section < kColumns ? QVariant(kTitles[section]) : QVariant();
}

RackView::RackView(PostMachine post, std::function<GotoAnswer(const QString& title)> runKeypad,
                   EnterId enterId, QWidget* parent)
    : QWidget(parent, Qt::Window),
      post_(std::move(post)),
      runKeypad_(std::move(runKeypad)),
      enterId_(std::move(enterId)),
      table_(new QTableView(this)) {
  setObjectName("RackView");
  setWindowTitle("Rack");
  table_->setObjectName("RackTable");
  table_->setModel(&model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  table_->horizontalHeader()->setStretchLastSection(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(table_);
  resize(900, 480);
  connect(table_, &QTableView::doubleClicked, this,
          [this](const QModelIndex& index) { OpenMachine(static_cast<std::size_t>(index.row())); });
}

// The panels' windows go first, while the map their closing updates is still there.
RackView::~RackView() {
  const std::map<std::size_t, RackPanelWindow*> panels = std::exchange(panels_, {});
  for (const auto& [row, window] : panels) {
    QObject::disconnect(window, nullptr, this, nullptr);
    delete window;
  }
}

void RackView::Mirror(const std::vector<RackRow>& rows) {
  const bool first = model_.Rows().empty();
  model_.SetRows(rows);
  if (first) {
    table_->resizeColumnsToContents();
    // A stopped machine's time code is narrower than a running one's will be.
    const int timeCode = fontMetrics().horizontalAdvance("00:00:00:00") + 16;
    table_->setColumnWidth(RackModel::TimeCode,
                           std::max(table_->columnWidth(RackModel::TimeCode), timeCode));
  }
  for (auto it = panels_.begin(); it != panels_.end();) {
    if (it->first >= rows.size()) {
      it->second->deleteLater();
      it = panels_.erase(it);
      continue;
    }
    it->second->Mirror(rows[it->first]);
    ++it;
  }
}

void RackView::OpenMachine(std::size_t row) {
  if (row >= model_.Rows().size()) return;
  if (const auto it = panels_.find(row); it != panels_.end()) {
    it->second->raise();
    return;
  }
  auto* window = new RackPanelWindow(
      model_.Rows()[row],
      [this, row](std::function<void(VirtualMachine&)> call) { post_(row, std::move(call)); },
      runKeypad_, [this, row](const QString& initial) { enterId_(row, initial); }, this);
  QObject::connect(window, &QObject::destroyed, this, [this, row] { panels_.erase(row); });
  panels_[row] = window;
  window->show();
}
