#pragma once
// The open data file: creating and opening it, appending one line per accepted reading, and
// closing it. At most one file is open; every line is on the disk before the call returns.
// The file announces each settled change of state through its signals and asks the operator
// through its prompts; it never calls back into the window that owns it.
#include <QObject>
#include <QString>
#include <QStringList>

#include "datafile/AppendFile.h"

class DataFilePrompts;
class MeterReading;
class QAbstractItemModel;

class DataFile : public QObject {
    Q_OBJECT
public:
    // listedReadings: the readings list (rows in the order shown, the seven cell texts as
    // Qt::DisplayRole), copied as old data when the operator asks for it; lastReading: the
    // reading last taken, whose SerialNo those lines carry. Both are read, never changed.
    DataFile(DataFilePrompts& prompts, const QAbstractItemModel& listedReadings, const MeterReading& lastReading,
             QObject* parent = nullptr);

    bool FileOpen() const { return m_file.IsOpen(); }
    // The path as handed to OpenFile; kept by CloseFile, emptied by a failure.
    QString FileName() const { return m_fileName; }
    // True: fields separated by commas; False: by tabs.
    bool CommaSeparated() const { return m_commaSeparated; }

    // Closes the current file, settles the readings already listed (asking the operator),
    // checks the file (Exists: the caller expects an existing file), writes the header of a
    // new file with commentHeaders and the old data when asked, and leaves the file open for
    // appending. On failure no file is open and the operator has seen "File Error". True when open.
    bool OpenFile(const QString& name, bool Exists, const QStringList& commentHeaders);

    // Appends one complete line (CR LF included) and pushes it to the disk. Does nothing when no
    // file is open. A write error closes and forgets the file and shows "Data Write Error".
    void AppendLine(const QString& line);

    // Closes the file (if any). Never reports.
    void CloseFile();

signals:
    // The file now open (its path), or none (empty text): after every close, failure and open
    // (after a failure, once the "File Error" notice is closed).
    void FileChanged(const QString& path);
    // A failure has closed and forgotten the file; the "File Error" notice comes next.
    void Forgotten();
    // A file was opened or created successfully.
    void Opened(const QString& path);
    // The operator chose to delete the listed readings before the file is opened.
    void ListToBeCleared();

private:
    // Closes and forgets the file, shows "File Error" with the message, and announces it before
    // and after the notice. Always false.
    bool Fail(const QString& message);
    // Writes the listed rows as old-data lines; false on a write error.
    bool WriteOldData();

    DataFilePrompts& m_prompts;
    const QAbstractItemModel& m_list;
    const MeterReading& m_lastReading;
    datafile::AppendFile m_file;
    QString m_fileName;
    bool m_commaSeparated = false;
};
