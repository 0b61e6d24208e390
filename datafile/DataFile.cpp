#include "datafile/DataFile.h"

#include <QAbstractItemModel>

#include "datafile/DataFilePrompts.h"
#include "datafile/DataLines.h"
#include "datafile/dlgOldDataToNew.h"
#include "vantrel/MeterReading.h"

namespace {
const QString kErrorOpening = QStringLiteral("Error Opening File");
const QString kAlreadyExists = QStringLiteral("File Already Exists!");
const QString kErrorOldData = QStringLiteral("Error Writing Old Data");
const QString kWriteError = QStringLiteral("Data Write Error");
}  // namespace

DataFile::DataFile(DataFilePrompts& prompts, const QAbstractItemModel& listedReadings, const MeterReading& lastReading,
                   QObject* parent)
    : QObject(parent)
    , m_prompts(prompts)
    , m_list(listedReadings)
    , m_lastReading(lastReading)
{}

void DataFile::CloseFile()
{
    m_file.Close();
    emit FileChanged(QString());
}

bool DataFile::OpenFile(const QString& name, bool Exists, const QStringList& commentHeaders)
{
    CloseFile();

    // The choice about the listed readings stands even when the file cannot be opened.
    int16_t handling = dlgOldDataToNew::SaveNewOnly;
    if (m_list.rowCount() > 0) {
        handling = m_prompts.AskDataHandling();
        if (handling == dlgOldDataToNew::DeleteOldData) emit ListToBeCleared();
    }

    const bool exists = datafile::FileExists(name);
    m_commaSeparated = datafile::FileExtension(name) == QLatin1String("csv");

    if (exists != Exists) return Fail(exists ? kAlreadyExists : kErrorOpening);

    if (exists) {
        QByteArray firstLine;
        if (!datafile::ReadFirstLine(name, &firstLine)) return Fail(kErrorOpening);
        const datafile::HeaderForm form = datafile::RecognizeHeader(firstLine);
        if (form != datafile::HeaderForm::None) m_commaSeparated = form == datafile::HeaderForm::Comma;
        else if (!m_prompts.AskContinueUnrecognized()) return Fail(kErrorOpening);
    }

    if (!m_file.Open(name)) return Fail(kErrorOpening);
    if (!exists) {
        datafile::SyncFolderOf(name);
        const QString header = datafile::HeaderLine(m_commaSeparated, commentHeaders);
        if (!m_file.WriteAll(header.toUtf8()) || !m_file.Sync()) return Fail(kErrorOpening);
    }
    if (handling == dlgOldDataToNew::SaveOldToFile && !WriteOldData()) return Fail(kErrorOldData);

    m_fileName = name;
    emit Opened(name);
    emit FileChanged(name);
    return true;
}

bool DataFile::WriteOldData()
{
    const QString serialNo = m_lastReading.SerialNo;
    const int rows = m_list.rowCount();
    const int columns = m_list.columnCount();
    for (int row = 0; row < rows; ++row) {
        QStringList cells;
        for (int column = 0; column < columns; ++column)
            cells.append(m_list.index(row, column).data(Qt::DisplayRole).toString());
        if (!m_file.WriteAll(datafile::OldDataLine(cells, serialNo, m_commaSeparated).toUtf8())) return false;
    }
    return rows == 0 || m_file.Sync();
}

bool DataFile::Fail(const QString& message)
{
    m_file.Close();
    m_fileName.clear();
    emit Forgotten();
    // The commands follow once the operator has read the notice.
    m_prompts.ShowFileError(message);
    emit FileChanged(QString());
    return false;
}

void DataFile::AppendLine(const QString& line)
{
    if (!FileOpen()) return;
    if (!m_file.WriteAll(line.toUtf8()) || !m_file.Sync()) Fail(kWriteError);
}
