#pragma once
// Shared pieces of the fuzz targets: a failed check names itself and stops the run (libFuzzer
// saves the input), and a private scratch folder, in memory when the system has one, holds
// the files that a target writes for each input.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#define FUZZ_CHECK(cond)                                                                       \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::fflush(stderr);                                                               \
            __builtin_trap();                                                                  \
        }                                                                                      \
    } while (0)

namespace fuzzing {

inline QString ScratchTemplate()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString base = shm.isDir() && shm.isWritable() ? shm.absoluteFilePath() : QDir::tempPath();
    return base + QStringLiteral("/glimora-fuzz-XXXXXX");
}

// The folder lives as long as the process; it is removed when the process ends normally.
inline QString ScratchDir()
{
    static QTemporaryDir dir(ScratchTemplate());
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a scratch folder\n");
        __builtin_trap();
    }
    return dir.path();
}

// Replaces the file's contents with the bytes; false when it cannot be written.
inline bool WriteFile(const QString& path, const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!f) return false;
    const bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
    return std::fclose(f) == 0 && ok;
}

inline QByteArray Bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

}  // namespace fuzzing
