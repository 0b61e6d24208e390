#pragma once
// The open data file: creating and opening it, appending one line per accepted reading, and
// closing it. At most one file is open; every line is on the disk before the call returns.
#include <QString>
#include <QStringList>
#include <functional>

#include "datafile/AppendFile.h"

class CommentColumns;
class MeterReading;
class QWidget;

// What the data file needs from the window that owns it.
class DataFileHost {
public:
    virtual ~DataFileHost() = default;
    // The parent of the file's dialogs.
    virtual QWidget* DialogParent() = 0;
    // Rows of the readings list, and the seven cell texts of one in display order
    // (Date/Time, Specular, DOI, 2 Degree, 15 Degree, Cal STD, Comment).
    virtual int ListRowCount() = 0;
    virtual QStringList ListRowTexts(int row) = 0;
    // Clear Readings: empties the list and the averages.
    virtual void ClearReadings() = 0;
    // SerialNo of the last reading taken.
    virtual QString LastSerialNo() = 0;
    // The window title with the open file's path, and without it.
    virtual void SetTitle(const QString& path) = 0;
    virtual void ResetTitle() = 0;
    virtual void UpdateCommands() = 0;
    // Puts path at the top of the recent-files list.
    virtual void AddRecentFile(const QString& path) = 0;
};

class DataFile {
public:
    // The comment headers of `comments` go into the header line of every new file.
    DataFile(DataFileHost& host, const CommentColumns& comments);
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    bool FileOpen() const { return m_file.IsOpen(); }
    // The path as handed to OpenFile; kept by CloseFile, emptied by a failure.
    QString FileName() const { return m_fileName; }
    // True: fields separated by commas; False: by tabs.
    bool CommaSeparated() const { return m_commaSeparated; }
    // The handle of the open file, 0 when none is open.
    int FileNumber() const { return m_file.IsOpen() ? m_file.Descriptor() : 0; }

    // Closes the current file, settles the readings already listed (asking the operator),
    // checks the file (Exists: the caller expects an existing file), writes the header of a
    // new file and the old data when asked, and leaves the file open for appending. On
    // failure no file is open and the operator has seen "File Error". True when open.
    bool OpenFile(const QString& name, bool Exists);

    // Appends CurrentReading as one line with the comment texts in force; comment text 1 is
    // the trimmed userCommentBoxText. Does nothing when no file is open. A write error closes
    // and forgets the file and shows "File Error" / "Data Write Error".
    void WriteDataToFile(const MeterReading& CurrentReading, const QString& userCommentBoxText, int digits,
                         CommentColumns& comments);

    // Closes the file (if any), resets the title and updates the commands. Never reports.
    void CloseFile();

    // File > New and File > Open: choose a file (nothing happens when the operator cancels),
    // then OpenFile(name, False / True).
    void FileNewCommand();
    void FileOpenCommand();

    // The file chooser of both commands: returns the chosen path or empty text. Tests set
    // this hook; when it is empty the real file dialog is shown.
    static std::function<QString(QWidget* parent, bool forNew)> ChooseFileHook;
    static QString ChooseFile(QWidget* parent, bool forNew);

private:
    // Closes and forgets the file, resets the title, shows "File Error" with the message and
    // updates the commands. Always false.
    bool Fail(const QString& message);

    DataFileHost& m_host;
    const CommentColumns& m_comments;
    datafile::AppendFile m_file;
    QString m_fileName;
    bool m_commaSeparated = false;
};
