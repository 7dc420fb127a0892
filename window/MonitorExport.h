// "Save As..." of the rows a monitor table shows: a capture file (CaptureFile.h) that the viewer
// and a replay read back, or the table as plain text. A designed transport command line repeats
// the message received just before it, so a capture leaves it out; notes are no traffic either.
#pragma once

#include <QAbstractProxyModel>
#include <QString>

class MonitorModel;

enum class ExportFormat { Capture, Text };

// The rows of `model` that `shown` (a MonitorFilter over it) shows. Returns an error message for
// the user, empty when the file was written.
QString SaveShownRows(const QAbstractProxyModel& shown, const QString& path, ExportFormat format);

// A capture unless the name ends in .txt.
ExportFormat FormatOfPath(const QString& path);
