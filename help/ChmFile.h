#pragma once
// Reader of compiled HTML help files (.chm) over libmspack. Every object of the file is unpacked
// into memory when the file is opened, so a file that opens can be read completely: a file with
// an object that does not unpack (damaged, overlapping another, or past the limits) is refused.
//
// Paths inside the file are written with forward slashes and a leading slash ("/welcome.htm");
// the functions that take a path also accept backslashes, a missing leading slash and "." or ".."
// segments, and look names up without regard to letter case.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

class ChmFile {
public:
    // Limits that keep a damaged file from exhausting memory or time.
    static constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
    static constexpr qint64 kMaxContentSize = 16 * 1024 * 1024;  // all unpacked objects together
    static constexpr int kMaxObjects = 100000;

    ChmFile() = default;
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    // Reads and unpacks the file. False (and the object closed) when the file is missing,
    // unreadable, too large, not a help file, damaged or empty.
    bool Open(const QString& path);
    // Same from bytes in memory.
    bool OpenData(const QByteArray& data);
    void Close();
    bool IsOpen() const { return !m_order.isEmpty(); }
    QString FilePath() const { return m_path; }

    // Every object path, written as NormalizePath() writes it: the pages first, then the
    // container's own objects ("::DataSpace/...").
    QStringList Paths() const { return m_order; }
    // True when the file holds an object at that path.
    bool Contains(const QString& path) const;
    // The object's bytes; empty when there is no such object (or it is empty).
    QByteArray Read(const QString& path) const;
    // The object's path as the file spells it, or empty when there is none.
    QString CanonicalPath(const QString& path) const;

    // "KALDEX\Contact.htm" -> "/KALDEX/Contact.htm"; "." and ".." segments resolved; a path that
    // climbs above the root, holds a NUL character or is longer than 1024 characters gives "".
    static QString NormalizePath(const QString& path);

private:
    struct Object {
        QString name;
        QByteArray data;
    };
    const Object* Find(const QString& path) const;

    QString m_path;
    QHash<QString, Object> m_objects;  // key: case-folded normalised path
    QStringList m_order;
};
