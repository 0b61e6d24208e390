#include "support/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace support {

namespace {
bool SyncPath(const QString& path, bool directory)
{
    const int fd = ::open(QFile::encodeName(path).constData(), directory ? (O_RDONLY | O_DIRECTORY) : O_RDONLY);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}
}  // namespace

QString SettingsStore::DefaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Glimora/Glimora.ini");
}

SettingsStore::SettingsStore(const QString& filePath)
    : m_path(filePath)
{
    Reload();
}

void SettingsStore::Reload()
{
    m_sections.clear();
    m_dirty = false;
    if (!QFileInfo(m_path).isFile()) return;
    QSettings ini(m_path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) return;
    for (const QString& group : ini.childGroups()) {
        ini.beginGroup(group);
        auto& list = m_sections[group];
        for (const QString& key : ini.childKeys()) {
            // A line with no key ("=x") can be neither asked for nor written back: kept, it would
            // make every later Sync() fail.
            if (key.isEmpty()) continue;
            list.append({key, ini.value(key).toString()});
        }
        ini.endGroup();
    }
    // Keys outside any group sit in "General"; the program does not use them.
}

bool SettingsStore::Contains(const QString& section, const QString& key) const
{
    const auto it = m_sections.constFind(section);
    if (it == m_sections.constEnd()) return false;
    for (const auto& kv : *it)
        if (kv.first == key) return true;
    return false;
}

QString SettingsStore::GetSetting(const QString& section, const QString& key, const QString& defaultValue) const
{
    const auto it = m_sections.constFind(section);
    if (it == m_sections.constEnd()) return defaultValue;
    for (const auto& kv : *it)
        if (kv.first == key) return kv.second;
    return defaultValue;
}

QStringList SettingsStore::Keys(const QString& section) const
{
    QStringList keys;
    const auto it = m_sections.constFind(section);
    if (it != m_sections.constEnd())
        for (const auto& kv : *it) keys.append(kv.first);
    return keys;
}

void SettingsStore::SaveSetting(const QString& section, const QString& key, const QString& value)
{
    auto& list = m_sections[section];
    for (auto& kv : list) {
        if (kv.first == key) {
            if (kv.second != value) {
                kv.second = value;
                m_dirty = true;
            }
            return;
        }
    }
    list.append({key, value});
    m_dirty = true;
}

void SettingsStore::DeleteSetting(const QString& section, const QString& key)
{
    auto it = m_sections.find(section);
    if (it == m_sections.end()) return;
    for (int i = 0; i < it->size(); ++i) {
        if (it->at(i).first == key) {
            it->removeAt(i);
            m_dirty = true;
            return;
        }
    }
}

bool SettingsStore::Sync()
{
    const QFileInfo info(m_path);
    const QString dir = info.absolutePath();
    if (!QDir().mkpath(dir)) return false;
    ::chmod(QFile::encodeName(dir).constData(), 0700);

    const QString temp = m_path + QStringLiteral(".new");
    QFile::remove(temp);
    // What a run killed in the middle of a save leaves behind: QSettings' own temporary file and
    // lock file (an empty lock file would make QSettings wait half a minute before taking it
    // over), and a file that was being checked.
    const QStringList leftovers = {info.fileName() + QStringLiteral(".new.*"), info.fileName() + QStringLiteral(".check-*")};
    for (const QString& left : QDir(dir).entryList(leftovers, QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(dir + QLatin1Char('/') + left);
    {
        // Create the file with owner-only rights before QSettings fills it.
        const int fd = ::open(QFile::encodeName(temp).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) return false;
        ::close(fd);
    }
    {
        QSettings ini(temp, QSettings::IniFormat);
        ini.clear();
        for (auto it = m_sections.constBegin(); it != m_sections.constEnd(); ++it) {
            ini.beginGroup(it.key());
            for (const auto& kv : *it) ini.setValue(kv.first, kv.second);
            ini.endGroup();
        }
        ini.sync();
        if (ini.status() != QSettings::NoError) {
            QFile::remove(temp);
            return false;
        }
    }
    // Read the new file back: it must hold every value, or the old file stays. QSettings keeps
    // what it last wrote to a path in a cache and trusts it while the file's size and time stamp
    // are unchanged, so reading `temp` again could see the values it meant to write rather than
    // a file cut short by a full disk. The file is read under a name never used before instead.
    static int checks = 0;
    const QString check = m_path + QStringLiteral(".check-%1-%2").arg(::getpid()).arg(++checks);
    if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(check).constData()) != 0) {
        QFile::remove(temp);
        return false;
    }
    {
        QSettings reread(check, QSettings::IniFormat);
        bool same = reread.status() == QSettings::NoError;
        int count = 0;
        for (auto it = m_sections.constBegin(); same && it != m_sections.constEnd(); ++it) {
            for (const auto& kv : *it) {
                ++count;
                const QVariant v = reread.value(it.key() + QLatin1Char('/') + kv.first);
                if (!v.isValid() || v.toString() != kv.second) {
                    same = false;
                    break;
                }
            }
        }
        if (same && reread.allKeys().size() != count) same = false;
        if (!same) {
            QFile::remove(check);
            return false;
        }
    }
    if (!SyncPath(check, false) || ::rename(QFile::encodeName(check).constData(), QFile::encodeName(m_path).constData()) != 0) {
        QFile::remove(check);
        return false;
    }
    ::chmod(QFile::encodeName(m_path).constData(), 0600);
    SyncPath(dir, true);
    m_dirty = false;
    return true;
}

}  // namespace support
