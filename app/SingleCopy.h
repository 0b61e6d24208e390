#pragma once
// One running copy of the program per settings folder. A second start for the same folder asks
// the running copy to come to the front and ends, so two copies never hold the same meter or
// write the same settings file from snapshots of their own; copies with settings folders of their
// own run side by side. A lock on a file (freed by the system when its copy dies) decides which
// copy runs; a local socket beside it carries the request to come to the front.
#include <QObject>
#include <QString>

class QLocalServer;

class SingleCopy : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Alone, HandedOver, NoAnswer };

    explicit SingleCopy(const QString& settingsFolder, QObject* parent = nullptr);
    ~SingleCopy() override;

    // Alone: no other copy runs for the folder, and this one now answers later starts (also when
    // the guard cannot be set up at all). HandedOver: another copy runs and was asked to come to
    // the front. NoAnswer: another copy holds the folder but does not answer.
    Outcome Start();

signals:
    // A later start asked this copy to come to the front.
    void Asked();

private:
    QString m_name;  // the socket's path; the lock file is beside it
    int m_lock = -1;
    QLocalServer* m_server = nullptr;
};
