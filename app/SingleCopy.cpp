#include "app/SingleCopy.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
// In the user's runtime folder (or the temporary folder), named after the user and the settings
// folder.
QString GuardName(const QString& settingsFolder)
{
    const QString folder = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")
        ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
        : QDir::tempPath();
    const QByteArray id = QCryptographicHash::hash(
        QDir::cleanPath(QFileInfo(settingsFolder).absoluteFilePath()).toUtf8(), QCryptographicHash::Sha1);
    return folder + QStringLiteral("/glimora-%1-%2").arg(::getuid()).arg(QString::fromLatin1(id.toHex().left(16)));
}
}  // namespace

SingleCopy::SingleCopy(const QString& settingsFolder, QObject* parent)
    : QObject(parent)
    , m_name(GuardName(settingsFolder))
{}

SingleCopy::~SingleCopy()
{
    if (m_lock >= 0) ::close(m_lock);
}

SingleCopy::Outcome SingleCopy::Start()
{
    m_lock =
        ::open(QFile::encodeName(m_name + QStringLiteral(".lock")).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lock < 0) return Outcome::Alone;  // no guard to be had: the copy runs unguarded
    // The other copy may be starting up itself: it is given a few seconds to answer.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (::flock(m_lock, LOCK_EX | LOCK_NB) == 0) {
            QLocalServer::removeServer(m_name);  // left by a copy that died
            m_server = new QLocalServer(this);
            m_server->setSocketOptions(QLocalServer::UserAccessOption);
            connect(m_server, &QLocalServer::newConnection, this, [this] {
                while (QLocalSocket* s = m_server->nextPendingConnection()) s->deleteLater();
                emit Asked();
            });
            m_server->listen(m_name);
            return Outcome::Alone;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) return Outcome::Alone;
        QLocalSocket running;
        running.connectToServer(m_name);
        if (running.waitForConnected(1000)) {
            running.disconnectFromServer();
            return Outcome::HandedOver;
        }
        QThread::msleep(100);
    }
    return Outcome::NoAnswer;
}
