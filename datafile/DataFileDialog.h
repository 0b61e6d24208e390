#pragma once
// The file dialogs of File > New and File > Open.
#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <memory>

namespace datafile {

// The filter text of both dialogs: description and pattern pairs between bars.
QString DataFileFilterText();
// Converts "Description|pattern|..." pairs into Qt name filters "Description (pattern)".
QStringList NameFiltersFromText(const QString& barText);

// A configured (not yet shown) dialog. New: any name in an existing folder, first filter
// selected. Open: an existing file, the filter chosen last time during this run. Both refuse
// a file that cannot be written and add "csv" to a name typed without extension.
std::unique_ptr<QFileDialog> MakeDataFileDialog(QWidget* parent, bool forNew);

// Shows the dialog; the chosen full path, or empty text when the operator cancelled.
QString RunDataFileDialog(QWidget* parent, bool forNew);

}  // namespace datafile
