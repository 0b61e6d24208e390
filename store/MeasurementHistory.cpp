#include "store/MeasurementHistory.h"

#include <QSysInfo>
#include <QThread>
#include <QWidget>
#include <pwd.h>
#include <unistd.h>

#include "store/Forwarder.h"
#include "store/HistoryWindow.h"
#include "store/LocalStore.h"
#include "support/SettingsStore.h"

namespace store {

MeasurementHistory::MeasurementHistory(const support::SettingsStore& settings, const QString& path, QObject* parent)
    : QObject(parent)
    , m_station(settings.GetSetting(QStringLiteral("Store"), QStringLiteral("Station")).trimmed())
    , m_server(settings.GetSetting(QStringLiteral("Store"), QStringLiteral("Server")).trimmed())
    , m_local(std::make_unique<LocalStore>(path.isEmpty() ? LocalStore::DefaultPath() : path))
{
    if (m_station.isEmpty()) m_station = QSysInfo::machineHostName();
    // Every record names its station: one without would be refused by the store and stop the rest.
    if (m_station.isEmpty()) m_station = QStringLiteral("localhost");
    if (m_server.isEmpty()) return;
    // The forwarder reads the file through a connection of its own: it is created (and migrated) first.
    m_local->Open();
    // The forwarder lives on its own thread with its own connections; it hears of every record.
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("store-forwarder"));
    m_forwarder = new Forwarder(m_local->Path(), m_server);
    m_forwarder->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_forwarder, &QObject::deleteLater);
    connect(m_local.get(), &LocalStore::Recorded, m_forwarder, &Forwarder::Wake, Qt::QueuedConnection);
    connect(m_forwarder, &Forwarder::StateChanged, this, [this](int unsent, const QString& problem) {
        m_unsent = unsent;
        m_serverProblem = problem;
        emit ServerStateChanged();
    });
    m_thread->start();
    QMetaObject::invokeMethod(m_forwarder, &Forwarder::Start, Qt::QueuedConnection);
}

MeasurementHistory::~MeasurementHistory()
{
    if (m_window) delete m_window.data();
    if (m_thread) {
        QMetaObject::invokeMethod(m_forwarder, &Forwarder::Stop, Qt::BlockingQueuedConnection);
        m_thread->quit();
        m_thread->wait();
    }
}

QString MeasurementHistory::OperatorName()
{
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

void MeasurementHistory::RecordReading(ReadingRecord record)
{
    if (record.station.isEmpty()) record.station = m_station;
    if (record.operatorName.isEmpty()) record.operatorName = OperatorName();
    m_local->RecordReading(std::move(record));
}

void MeasurementHistory::RecordScan(ScanRecord record)
{
    if (record.station.isEmpty()) record.station = m_station;
    m_local->RecordScan(std::move(record));
}

QString MeasurementHistory::TakeNotice()
{
    return m_local->TakeNotice();
}

int MeasurementHistory::Unsent()
{
    return m_forwarder ? m_unsent : m_local->Unsent();
}

void MeasurementHistory::ShowWindow(QWidget* parent)
{
    if (!m_window) m_window = new HistoryWindow(*this, parent);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

}  // namespace store
