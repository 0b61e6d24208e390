#include "datafile/DataFile.h"

#include "comments/CommentColumns.h"
#include "datafile/DataFileDialog.h"
#include "datafile/DataLines.h"
#include "datafile/dlgOldDataToNew.h"
#include "dialogs/dlgError.h"
#include "dialogs/dlgYesNo.h"
#include "vantrel/MeterReading.h"

namespace {
const QString kFileError = QStringLiteral("File Error");
const QString kErrorOpening = QStringLiteral("Error Opening File");
const QString kAlreadyExists = QStringLiteral("File Already Exists!");
const QString kErrorOldData = QStringLiteral("Error Writing Old Data");
const QString kWriteError = QStringLiteral("Data Write Error");
}  // namespace

std::function<QString(QWidget*, bool)> DataFile::ChooseFileHook;

DataFile::DataFile(DataFileHost& host, const CommentColumns& comments)
    : m_host(host), m_comments(comments)
{
}

QString DataFile::ChooseFile(QWidget* parent, bool forNew)
{
    if (ChooseFileHook) return ChooseFileHook(parent, forNew);
    return datafile::RunDataFileDialog(parent, forNew);
}

void DataFile::FileNewCommand()
{
    const QString name = ChooseFile(m_host.DialogParent(), true);
    if (!name.isEmpty()) OpenFile(name, false);
}

void DataFile::FileOpenCommand()
{
    const QString name = ChooseFile(m_host.DialogParent(), false);
    if (!name.isEmpty()) OpenFile(name, true);
}

void DataFile::CloseFile()
{
    m_file.Close();
    m_host.ResetTitle();
    m_host.UpdateCommands();
}

bool DataFile::OpenFile(const QString& name, bool Exists)
{
    CloseFile();

    // The choice about the listed readings stands even when the file cannot be opened.
    int16_t handling = dlgOldDataToNew::SaveNewOnly;
    if (m_host.ListRowCount() > 0) {
        dlgOldDataToNew dialog(m_host.DialogParent());
        dialog.exec();
        handling = dialog.DataHandling;
        if (handling == dlgOldDataToNew::DeleteOldData) m_host.ClearReadings();
    }

    const bool exists = datafile::FileExists(name);
    m_commaSeparated = datafile::FileExtension(name) == QLatin1String("csv");

    if (exists != Exists) return Fail(exists ? kAlreadyExists : kErrorOpening);

    bool writeHeader = !exists;
    if (exists) {
        QByteArray firstLine;
        if (!datafile::ReadFirstLine(name, &firstLine)) return Fail(kErrorOpening);
        const datafile::HeaderForm form = datafile::RecognizeHeader(firstLine);
        if (form != datafile::HeaderForm::None) {
            m_commaSeparated = form == datafile::HeaderForm::Comma;
        } else {
            const int16_t answer = AskYesNo(m_host.DialogParent(), kFileError,
                                            QStringLiteral("Unrecognized file structure.  Continue writing to file?"), false);
            if (answer != dlgYesNo::Yes) return Fail(kErrorOpening);
        }
    }

    if (!m_file.Open(name)) return Fail(kErrorOpening);
    if (writeHeader) {
        datafile::SyncFolderOf(name);
        const QString header = datafile::HeaderLine(m_commaSeparated, m_comments.HeadersInUse());
        if (!m_file.WriteAll(header.toUtf8()) || !m_file.Sync()) return Fail(kErrorOpening);
    }

    if (handling == dlgOldDataToNew::SaveOldToFile) {
        const QString serialNo = m_host.LastSerialNo();
        const int rows = m_host.ListRowCount();
        for (int row = 0; row < rows; ++row) {
            const QString line = datafile::OldDataLine(m_host.ListRowTexts(row), serialNo, m_commaSeparated);
            if (!m_file.WriteAll(line.toUtf8())) return Fail(kErrorOldData);
        }
        if (rows > 0 && !m_file.Sync()) return Fail(kErrorOldData);
    }

    m_host.AddRecentFile(name);
    m_fileName = name;
    m_host.SetTitle(name);
    m_host.UpdateCommands();
    return true;
}

bool DataFile::Fail(const QString& message)
{
    m_file.Close();
    m_fileName.clear();
    m_host.ResetTitle();
    ShowErrorDialog(m_host.DialogParent(), kFileError, message);
    m_host.UpdateCommands();
    return false;
}

void DataFile::WriteDataToFile(const MeterReading& CurrentReading, const QString& userCommentBoxText, int digits,
                               CommentColumns& comments)
{
    if (!FileOpen()) return;
    comments.SetCommentText(1, userCommentBoxText.trimmed());
    comments.CountCommentTexts();
    const QString line = datafile::ReadingLine(CurrentReading, digits, m_commaSeparated, comments.TextsInUse());
    if (!m_file.WriteAll(line.toUtf8()) || !m_file.Sync()) Fail(kWriteError);
}
