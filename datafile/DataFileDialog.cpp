#include "datafile/DataFileDialog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "dialogs/FileChooser.h"

#include "datafile/dlgOldDataToNew.h"
#include "dialogs/dlgError.h"
#include "dialogs/dlgYesNo.h"
#include "support/Folders.h"

namespace datafile {

namespace {
// Refuses, before the open data file is closed, a name the data could not be written to.
class DataFileDialog : public FileChooser {
public:
    DataFileDialog(QWidget* parent, bool forNew)
        : FileChooser(parent)
        , m_forNew(forNew)
    {}

protected:
    QString Refusal(const QString& path) const override
    {
        const QFileInfo info(path);
        if (m_forNew && !info.absoluteDir().exists())
            return QStringLiteral("%1\nPath does not exist.\nCheck the path and try again.")
                .arg(QDir::toNativeSeparators(info.absolutePath()));
        return FileChooser::Refusal(path);
    }

private:
    bool m_forNew;
};
}  // namespace

QString DataFileFilterText()
{
    return QStringLiteral("Excel (*.csv)|*.csv|Text (*.txt)|*.txt|All Files (*.*)|*.*");
}

QStringList NameFiltersFromText(const QString& barText)
{
    const QStringList parts = barText.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        QString patterns = parts.at(i + 1).trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('(')))
            filters.append(description);
        else filters.append(QStringLiteral("%1 (%2)").arg(description, patterns));
    }
    return filters;
}

std::unique_ptr<QFileDialog> MakeDataFileDialog(QWidget* parent, bool forNew, const QString& lastFilter)
{
    auto dialog = std::make_unique<DataFileDialog>(parent, forNew);
    dialog->setObjectName(forNew ? QStringLiteral("NewFileDialog") : QStringLiteral("OpenFileDialog"));
    dialog->setWindowTitle(forNew ? QStringLiteral("New") : QStringLiteral("Open"));
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(forNew ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = NameFiltersFromText(DataFileFilterText());
    dialog->setNameFilters(filters);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    if (forNew || !filters.contains(lastFilter)) dialog->selectNameFilter(filters.first());
    else dialog->selectNameFilter(lastFilter);
    ListEveryFileForStarDotStar(*dialog);
    dialog->selectFile(QString());
    return dialog;
}

}  // namespace datafile

QString DataFileDialogs::ChooseFile(bool forNew)
{
    std::unique_ptr<QFileDialog> dialog = datafile::MakeDataFileDialog(m_parent, forNew, m_lastFilter);
    if (m_store) dialog->setDirectory(support::LastFolder(*m_store, support::DataFilesFolder));
    if (dialog->exec() != QDialog::Accepted) return QString();
    m_lastFilter = dialog->selectedNameFilter();
    const QStringList files = dialog->selectedFiles();
    if (files.isEmpty()) return QString();
    if (m_store) support::RememberFolder(*m_store, support::DataFilesFolder, files.first());
    return files.first();
}

int16_t DataFileDialogs::AskDataHandling()
{
    dlgOldDataToNew dialog(m_parent);
    dialog.exec();
    return dialog.DataHandling;
}

bool DataFileDialogs::AskContinueUnrecognized()
{
    return AskYesNo(m_parent, QStringLiteral("File Error"),
                    QStringLiteral("Unrecognized file structure.  Continue writing to file?"), false)
        == dlgYesNo::Yes;
}

void DataFileDialogs::ShowFileError(const QString& message)
{
    ShowErrorDialog(m_parent, QStringLiteral("File Error"), message);
}
