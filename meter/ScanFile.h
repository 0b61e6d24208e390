#pragma once
// The scan file: the time of saving, then 301 lines of index ("000".."300"), separator and value.
#include <QDateTime>
#include <QString>

namespace support {
class SettingsStore;
}

class QFileDialog;
class QWidget;
class ScanData;

// "," when the extension of the file name is exactly "csv", a tab otherwise.
QString ScanSeparatorFor(const QString& path);
// The whole file text, lines ended by CR LF. Throws std::out_of_range when a point is missing.
QByteArray ScanFileText(const ScanData& scan, const QDateTime& savedAt, const QString& separator);
// Writes the file from scratch; false on any error (the file is closed either way).
bool WriteScanFile(const QString& path, const ScanData& scan, const QDateTime& savedAt);

// Reads back a text that WriteScanFile writes, and nothing else: the time stamp line, then the
// indices 000 to 300 in order, each with one separator ("," or a tab, the same on every line) and
// a value written exactly as the writer writes it, every line ended by CR LF. On success `scan`
// holds the 301 values (HasData set) and `savedAt` the time stamp; otherwise both are left alone
// and `error` says which line is wrong and how.
bool ParseScanFileText(const QByteArray& text, ScanData& scan, QDateTime& savedAt, QString& error);
// Reads and parses a scan file; a file too large to be one is refused unread.
bool ReadScanFile(const QString& path, ScanData& scan, QDateTime& savedAt, QString& error);

// The save dialog: no title, empty name, default extension csv, the three filters with the first
// selected ("All Files (*.*)" lists every file), confirmation before overwriting.
void PrepareScanSaveDialog(QFileDialog& dialog);
// Shows the save dialog, in the folder of the last scan file when a store is given (which then
// keeps the folder chosen); the chosen path, or empty when cancelled.
QString ChooseScanFile(QWidget* parent, support::SettingsStore* store = nullptr);
