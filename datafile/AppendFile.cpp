#include "datafile/AppendFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace datafile {

AppendFile::~AppendFile()
{
    Close();
}

bool AppendFile::Open(const QString& path)
{
    Close();
    if (path.isEmpty()) return false;
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;

    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    // Non-blocking was only wanted for the open itself.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_regular = S_ISREG(st.st_mode);
    return true;
}

bool AppendFile::WriteAll(const QByteArray& bytes)
{
    if (m_fd < 0) return false;
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, data, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        left -= n;
    }
    return true;
}

bool AppendFile::Sync()
{
    if (m_fd < 0) return false;
    int rc;
    do {
        rc = ::fdatasync(m_fd);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) return true;
    // A pipe or a device has nothing to sync; its write already succeeded.
    return !m_regular && (errno == EINVAL || errno == EROFS);
}

void AppendFile::Close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_regular = false;
}

bool FileExists(const QString& path)
{
    if (path.isEmpty()) return false;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
    return !S_ISDIR(st.st_mode);
}

bool ReadFirstLine(const QString& path, QByteArray* line, qsizetype maxBytes)
{
    line->clear();
    int fd;
    do {
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;

    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    QByteArray buffer(maxBytes, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < maxBytes) {
        const ssize_t n = ::read(fd, buffer.data() + got, static_cast<size_t>(maxBytes - got));
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;  // a pipe with nothing in it
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        got += n;
        if (buffer.left(got).contains('\n') || buffer.left(got).contains('\r')) break;
    }
    ::close(fd);
    if (got == 0) return false;
    buffer.truncate(got);
    qsizetype end = buffer.size();
    for (qsizetype i = 0; i < buffer.size(); ++i) {
        if (buffer.at(i) == '\r' || buffer.at(i) == '\n') {
            end = i;
            break;
        }
    }
    *line = buffer.left(end);
    return true;
}

void SyncFolderOf(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace datafile
