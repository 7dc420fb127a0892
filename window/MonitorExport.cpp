#include "MonitorExport.h"

#include <QAbstractProxyModel>
#include <QSaveFile>
#include <sstream>

#include "MonitorModel.h"

namespace {

CaptureRecord RecordOf(const MonitorRow& row) {
  CaptureRecord record;
  record.time = Micros(row.us < 0 ? 0 : row.us);
  record.port = row.port.toStdString();
  record.direction = row.direction;
  record.kind = row.kind;
  record.bytes = row.bytes;
  record.text = row.decoded.toStdString();
  return record;
}

std::string Rendered(const QAbstractProxyModel& shown, ExportFormat format) {
  const auto& model = static_cast<const MonitorModel&>(*shown.sourceModel());
  std::ostringstream out;
  if (format == ExportFormat::Text && model.Removed() > 0)
    out << model.RemovedNotice().toStdString() << '\n';
  std::vector<CaptureRecord> records;
  for (int i = 0; i < shown.rowCount(); ++i) {
    const MonitorRow& row = model.Row(shown.mapToSource(shown.index(i, 0)).row());
    if (format == ExportFormat::Text) {
      out << LineOf(row).toStdString() << '\n';
    } else if (row.IsMessage() && !row.command) {
      records.push_back(RecordOf(row));
    }
  }
  if (format == ExportFormat::Text) return out.str();
  out << CaptureVersionLine(CaptureVersionFor(records)) << '\n';
  for (const CaptureRecord& record : records) out << FormatCaptureLine(record) << '\n';
  return out.str();
}

}  // namespace

ExportFormat FormatOfPath(const QString& path) {
  return path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive) ? ExportFormat::Text
                                                                    : ExportFormat::Capture;
}

QString SaveShownRows(const QAbstractProxyModel& shown, const QString& path, ExportFormat format) {
  const std::string text = Rendered(shown, format);
  // Written whole or not at all: an earlier file of the same name is not left half replaced.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(text.data(), static_cast<qint64>(text.size())) !=
          static_cast<qint64>(text.size()) ||
      !file.commit()) {
    return QStringLiteral("Cannot save %1: %2").arg(path, file.errorString());
  }
  return {};
}
