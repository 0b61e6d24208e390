#pragma once
// Makes a file or folder unwritable for the user running the tests, root included: the write
// permission bits go, and where they do not bind (root) the file system's immutable flag is set.
// Everything is undone when the object goes.
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testing {

class Unwritable {
public:
    explicit Unwritable(const QString& path)
        : m_path(QFile::encodeName(path))
    {
        struct stat st {};
        m_folder = ::stat(m_path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        ::chmod(m_path.constData(), m_folder ? 0555 : 0444);
        if (::access(m_path.constData(), W_OK) == 0) m_immutable = SetImmutable(true);
    }
    ~Unwritable()
    {
        if (m_immutable) SetImmutable(false);
        ::chmod(m_path.constData(), m_folder ? 0755 : 0644);
    }
    Unwritable(const Unwritable&) = delete;
    Unwritable& operator=(const Unwritable&) = delete;

    // False when neither way took hold here.
    bool Holds() const { return ::access(m_path.constData(), W_OK) != 0; }

private:
    bool SetImmutable(bool on) const
    {
        const int fd = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0) return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }

    QByteArray m_path;
    bool m_folder = false;
    bool m_immutable = false;
};

}  // namespace testing
