#pragma once
// The dialogs of the data file: the file dialogs of File > New and File > Open, the question
// about the listed readings, the unrecognised-file question and the "File Error" notice.
#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

#include "datafile/DataFilePrompts.h"

namespace support {
class SettingsStore;
}

namespace datafile {

// The filter text of both dialogs: description and pattern pairs between bars.
QString DataFileFilterText();
// Converts "Description|pattern|..." pairs into Qt name filters "Description (pattern)".
QStringList NameFiltersFromText(const QString& barText);

// A configured (not yet shown) dialog. New: any name in an existing folder, first filter
// selected. Open: an existing file, with lastFilter selected when it is one of the filters.
// Both refuse a file that cannot be written and add "csv" to a name typed without extension.
std::unique_ptr<QFileDialog> MakeDataFileDialog(QWidget* parent, bool forNew, const QString& lastFilter);

}  // namespace datafile

// The real dialogs, modal to `parent`. The filter last confirmed in a file dialog is
// remembered for the next File > Open for as long as this object lives.
class DataFileDialogs : public DataFilePrompts {
public:
    // With a store, the file dialogs start in the folder of the last data file chosen, kept there.
    explicit DataFileDialogs(QWidget* parent, support::SettingsStore* store = nullptr)
        : m_parent(parent)
        , m_store(store)
    {}

    QString ChooseFile(bool forNew) override;
    int16_t AskDataHandling() override;
    bool AskContinueUnrecognized() override;
    void ShowFileError(const QString& message) override;

private:
    QPointer<QWidget> m_parent;
    support::SettingsStore* m_store;
    QString m_lastFilter;
};
