#pragma once
// The per-user settings store: application "Glimora", INI sections and string values.
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
    // Re-reads the file; a missing or unreadable file gives an empty store.
    void Reload();

    bool Contains(const QString& section, const QString& key) const;
    QString GetSetting(const QString& section, const QString& key, const QString& defaultValue = QString()) const;
    // Keys of a section in the order the file holds them.
    QStringList Keys(const QString& section) const;
    void SaveSetting(const QString& section, const QString& key, const QString& value);
    void DeleteSetting(const QString& section, const QString& key);

    // Writes the whole store to its file safely. False (and the old file whole) on any failure.
    bool Sync();
    // True when values changed since the last successful Sync().
    bool Dirty() const { return m_dirty; }

private:
    QString m_path;
    // section -> ordered list of (key, value)
    QMap<QString, QList<QPair<QString, QString>>> m_sections;
    bool m_dirty = false;
};

}  // namespace support
