#pragma once
// The scan file: the time of saving, then 301 lines of index ("000".."300"), separator and value.
#include <QDateTime>
#include <QString>

class QFileDialog;
class QWidget;
class ScanData;

// "," when the extension of the file name is exactly "csv", a tab otherwise.
QString ScanSeparatorFor(const QString& path);
// The whole file text, lines ended by CR LF. Throws std::out_of_range when a point is missing.
QByteArray ScanFileText(const ScanData& scan, const QDateTime& savedAt, const QString& separator);
// Writes the file from scratch; false on any error (the file is closed either way).
bool WriteScanFile(const QString& path, const ScanData& scan, const QDateTime& savedAt);

// The save dialog: no title, empty name, default extension csv, the three filters with the first
// selected ("All Files (*.*)" lists every file), confirmation before overwriting.
void PrepareScanSaveDialog(QFileDialog& dialog);
// Shows the save dialog; the chosen path, or empty when cancelled.
QString ChooseScanFile(QWidget* parent);
