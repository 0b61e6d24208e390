#pragma once
// The per-user settings store: application "Glimora", INI sections ("[Recent Files]") and string
// values, UTF-8 text that an operator may edit by hand: each value is the text after "=" as
// written, commas and quotes included, without the blanks around it (a value that has blanks at
// an end, or is enclosed in double quotes itself, is written in a pair of double quotes).
// Values are held in memory and written by Sync(), which never leaves a half-written file:
// the new file is written beside the old one, read back and compared, flushed to the disk,
// and only then renamed over it. The file and its folder are readable by their owner only.
#include <QMap>
#include <QString>
#include <QStringList>

namespace support {

class SettingsStore {
public:
    // Where the running program keeps its store: $XDG_CONFIG_HOME/Glimora/Glimora.ini.
    static QString DefaultPath();

    explicit SettingsStore(const QString& filePath);

    QString FilePath() const { return m_path; }
    // Re-reads the file; a missing or unreadable file gives an empty store. Of a damaged file
    // every well-formed line is read and the others are skipped; a line that is not UTF-8 is
    // read as Latin-1.
    void Reload();
    // What the operator must be told about the file read last, with its path; empty when it
    // was read whole (or did not exist).
    QString Problem() const { return m_problem; }

    bool Contains(const QString& section, const QString& key) const;
    QString GetSetting(const QString& section, const QString& key, const QString& defaultValue = QString()) const;
    // Keys of a section in the order the file holds them.
    QStringList Keys(const QString& section) const;
    // A line break in value is kept as a blank: a value is one line of the file.
    void SaveSetting(const QString& section, const QString& key, const QString& value);
    void DeleteSetting(const QString& section, const QString& key);

    // Writes the whole store to its file safely. False (and the old file whole) on any failure.
    // A file that could not be read is never replaced; a damaged one is first copied beside
    // itself (the path with ".damaged", then ".damaged.1", ...).
    bool Sync();

private:
    // Where a damaged file goes before it is replaced: the first free of ".damaged", ".damaged.1", ...
    QString AsidePath() const;

    QString m_path;
    // section -> ordered list of (key, value)
    QMap<QString, QList<QPair<QString, QString>>> m_sections;
    bool m_dirty = false;
    QString m_problem;
    bool m_unreadable = false;  // kept as it is: never overwritten
    bool m_damagedUnsaved = false;  // to be copied aside before the first save replaces it
};

}  // namespace support
