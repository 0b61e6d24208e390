#pragma once
// A data file opened for appending through a plain file descriptor. Every write is checked
// to its last byte and Sync() pushes the data to the disk, so that what was reported as
// written survives a crash or a power cut.
#include <QByteArray>
#include <QString>

namespace datafile {

class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens (creating it when missing, mode 0644 less the umask) for appending. A FIFO or
    // device without a reader fails at once instead of blocking. False on any error.
    bool Open(const QString& path);
    bool IsOpen() const { return m_fd >= 0; }

    // Writes all of bytes at the end of the file, resuming after interrupted or partial
    // writes; false as soon as the system refuses a byte.
    bool WriteAll(const QByteArray& bytes);
    // Flushes the written data to the disk. Devices and pipes, which cannot be synced, pass.
    bool Sync();
    // Closes the descriptor, ignoring errors.
    void Close();

private:
    int m_fd = -1;
    bool m_regular = false;
};

// True when path names something that is not a folder (a file, or a device or pipe).
bool FileExists(const QString& path);

// Reads the start of the first line of a file (at most maxBytes). False when the file cannot
// be opened or read, or is empty.
bool ReadFirstLine(const QString& path, QByteArray* line, qsizetype maxBytes = 4096);

// Flushes the folder that holds path, so that a newly created file's name is on the disk.
void SyncFolderOf(const QString& path);

}  // namespace datafile
