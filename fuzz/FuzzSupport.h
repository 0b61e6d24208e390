#pragma once
// Shared pieces of the fuzz targets: a failed check names itself and stops the run (libFuzzer
// saves the input), and the files a target writes for an input, kept in a private scratch
// folder (in memory when the system has one) that goes when the process ends normally.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>

#define FUZZ_CHECK(cond)                                                                                               \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__);                        \
            __builtin_trap();                                                                                          \
        }                                                                                                              \
    } while (0)

namespace fuzzing {

inline QByteArray Bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Writes the bytes as the whole of the named scratch file; its path, or nothing when it cannot.
inline QString WriteScratch(const QString& name, const QByteArray& bytes)
{
    const bool shm = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
    static QTemporaryDir dir((shm ? QStringLiteral("/dev/shm") : QDir::tempPath())
                             + QStringLiteral("/glimora-fuzz-XXXXXX"));
    FUZZ_CHECK(dir.isValid());
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) return QString();
    return file.fileName();
}

}  // namespace fuzzing
