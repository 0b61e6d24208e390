#pragma once
// Reader of compiled HTML help files (.chm): the ITSF container, its directory, the uncompressed
// section and the LZX-compressed section. The whole file is read and checked when it is opened,
// so a file that opens can be read completely. Every offset and length taken from the file is
// checked against what is really there; a damaged or hostile file makes Open() fail and never
// reads or writes outside its buffers.
//
// Paths inside the file are written with forward slashes and a leading slash ("/welcome.htm");
// the functions that take a path also accept backslashes, a missing leading slash and "." or ".."
// segments, and look names up without regard to letter case.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>

class ChmFile {
public:
    // Limits that keep a damaged file from exhausting memory.
    static constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
    static constexpr qint64 kMaxContentSize = 16 * 1024 * 1024;
    static constexpr int kMaxObjects = 100000;

    ChmFile() = default;
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    // Reads and checks the file. False (and the object closed) when the file is missing,
    // unreadable, too large, not a help file or damaged.
    bool Open(const QString& path);
    // Same from bytes in memory.
    bool OpenData(const QByteArray& data);
    void Close();
    bool IsOpen() const { return m_open; }
    QString FilePath() const { return m_path; }

    // True when the file holds an object at that path.
    bool Contains(const QString& path) const;
    // The object's bytes; empty when there is no such object (or it is empty).
    QByteArray Read(const QString& path) const;
    // The object's path as the file spells it, or empty when there is none.
    QString CanonicalPath(const QString& path) const;
    // Every object path, in directory order, written as NormalizePath() writes it.
    QStringList Paths() const { return m_order; }

    // The table of contents (.hhc) named by the file's system information, else the first .hhc in
    // the file; empty when there is none.
    QString ContentsPath() const;
    // The default topic and the title named by the file's system information (empty if none).
    QString DefaultTopic() const;
    QString Title() const;
    // The topic that the file maps to the help context number, as an object path of the file;
    // empty when the number is not mapped or its page is not in the file.
    QString ResolveContext(int32_t context) const;

    // "KALDEX\Contact.htm" -> "/KALDEX/Contact.htm"; "." and ".." segments resolved; a path that
    // climbs above the root, holds a NUL character or is longer than 1024 characters gives "".
    static QString NormalizePath(const QString& path);

private:
    struct Entry {
        QString name;
        quint64 section = 0;
        quint64 offset = 0;
        quint64 length = 0;
    };

    bool Parse();
    bool ParseDirectory(quint64 dirOffset, quint64 dirLength);
    bool DecompressSection();
    const Entry* Find(const QString& path) const;
    QByteArray ReadEntry(const Entry& entry) const;
    QString SystemString(int code) const;

    bool m_open = false;
    QString m_path;
    QByteArray m_file;
    quint64 m_contentOffset = 0;
    QByteArray m_section1;
    bool m_section1Ok = false;
    QHash<QString, Entry> m_entries;  // key: case-folded path
    QStringList m_order;
};
