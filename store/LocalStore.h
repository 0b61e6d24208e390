#pragma once
// The station's own measurement history: one SQLite file, always on. Every record is committed
// (and synced to the disk) before RecordReading/RecordScan return. A file that cannot take a
// record (full disk, locked, damaged, a folder that cannot be written) costs nothing but the
// record's place in the file for a while: the record waits in memory, in order, and is written
// with the next record or by a retry every few seconds. Each failure is to be told once: the
// caller asks TakeNotice() after the reading, when it may show a message.
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <variant>

#include "store/Records.h"

namespace store {

class LocalStore : public QObject {
    Q_OBJECT
public:
    // $XDG_DATA_HOME/Glimora/measurements.sqlite (by default ~/.local/share/Glimora/...).
    static QString DefaultPath();

    // The file is opened (created and migrated) when first needed: by a record, the database, the
    // outbox count or Open(). Records a previous run could not write wait from the start.
    explicit LocalStore(const QString& path, QObject* parent = nullptr);
    ~LocalStore() override;

    QString Path() const { return m_path; }
    // Opens the file now and writes what waits; false when it cannot be opened (the failure is
    // kept for TakeNotice()).
    bool Open();

    // Commits the record after every record still waiting; true when all of them are in the file.
    // A record without id or time gets them here.
    bool RecordReading(ReadingRecord record);
    bool RecordScan(ScanRecord record);
    // Writes what waits in memory; true when nothing waits any longer.
    bool Flush();
    // Records waiting in memory for the file.
    int Waiting() const { return int(m_waiting.size()); }

    // The message for the operator about a failure not yet told (each failure once, until the
    // file takes records again), with the file's path and the cause; empty when there is none.
    QString TakeNotice();

    // How many records the outbox holds for the lab database; -1 when the file cannot say.
    int Unsent();
    // The connection the store writes through (the GUI thread's), for reading the history;
    // invalid when the file cannot be opened.
    QSqlDatabase Database();

    // Opens a further connection to the file at path for the calling thread, with the store's
    // settings (WAL, synchronous=FULL, busy timeout); the caller removes it. Empty when not open.
    static QString OpenConnection(const QString& path, const QString& name, int busyTimeoutMs,
                                  QString* problem = nullptr);

signals:
    // A record was committed (the History window and the forwarder look again).
    void Recorded();

private:
    using Pending = std::variant<ReadingRecord, ScanRecord>;
    bool OpenFile();
    void Close();
    bool Write(const Pending& record);
    bool Failed(const QString& cause);
    bool SetAsideDamaged(const QString& cause);
    // Records still waiting at the end, kept in a file beside the store, and taken back at the
    // start (written with the first record, or when the file is opened).
    QString SpillPath() const;
    void Spill();
    void TakeSpilled();

    QString m_path;
    QString m_connection;
    bool m_open = false;
    std::deque<Pending> m_waiting;
    QString m_failure;  // the failure of the moment, empty while the file takes records
    bool m_told = false;
    QStringList m_notices;
    QTimer m_retry;
    bool m_spillTaken = false;  // records of the last run were taken back and wait for the file
};

}  // namespace store
