#pragma once
// The measurement history of this station as the window sees it: the local store, always on,
// and (when [Store] Server names a lab database) the forwarder that feeds the lab database
// from it on a thread of its own. Settings, section "Store": Station (this station's name,
// the host name by default), Server (a libpq connection string; empty: no lab database).
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

#include "store/Records.h"

class QThread;
class QWidget;
namespace support {
class SettingsStore;
}

namespace store {

class LocalStore;
class Forwarder;

class MeasurementHistory : public QObject {
    Q_OBJECT
public:
    // The local store at path (the default one when empty), opened when first needed; with a lab
    // database it is opened at once and forwarding starts.
    explicit MeasurementHistory(const support::SettingsStore& settings, const QString& path = QString(),
                                QObject* parent = nullptr);
    ~MeasurementHistory() override;

    QString Station() const { return m_station; }
    QString Server() const { return m_server; }
    // The login name of the user running the program.
    static QString OperatorName();

    // Commits a record to the local store (or keeps it waiting); it reaches the lab database later.
    void RecordReading(ReadingRecord record);
    void RecordScan(ScanRecord record);
    // What the operator is to be told about the store, once per failure; empty when nothing.
    QString TakeNotice();

    LocalStore& Local() { return *m_local; }
    // Records the forwarder has yet to deliver, as it last said (-1 when unknown).
    int Unsent();
    // The forwarder's last word on the lab database ("" while all is well or when none is set).
    QString ServerProblem() const { return m_serverProblem; }

    // Opens (or raises) the "Measurement History" window.
    void ShowWindow(QWidget* parent);

signals:
    void ServerStateChanged();

private:
    QString m_station;
    QString m_server;
    QString m_serverProblem;
    int m_unsent = -1;
    std::unique_ptr<LocalStore> m_local;
    QThread* m_thread = nullptr;
    Forwarder* m_forwarder = nullptr;
    QPointer<QWidget> m_window;
};

}  // namespace store
